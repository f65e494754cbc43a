#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// The toolbar images of the preferences tabs. Newer systems get a variant of four of them; the
// choice is made once per process.
namespace PreferencesToolbarImages {

enum class Tab { general, selectiveSync, encryption, encryptionUpsell, backup, backupUpsell, autoImport, softwareUpdate };

// The image name of a tab on an older or a newer system.
QString imageName(Tab tab, bool isModernSystem);
// Whether this system gets the newer variants; decided on first use.
bool isModernSystem();
// Every name imageNamed() knows.
QStringList names();
// The application's image of that name, drawn in code; null for a name it does not know.
QIcon imageNamed(const QString& name);

}  // namespace PreferencesToolbarImages
