#pragma once

#include <QString>
#include <QStringList>

// The mail addresses of the user's contacts: the vCard files the backup covers. Reads files:
// never on the main thread.
namespace ContactAddresses {

// Each address once, in the order the files and their cards give them.
QStringList inVCardText(const QString& text);
QStringList inContactsFolder();

}  // namespace ContactAddresses
