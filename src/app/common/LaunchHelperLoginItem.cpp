#include "app/common/LaunchHelperLoginItem.h"

#include <QCoreApplication>
#include <QDir>

#include "app/common/ConfigurationProvider.h"
#include "platform/loginitem/LoginItem.h"

bool setLaunchHelperLoginItemEnabled(const QString& bundleIdentifier, bool enabled) {
    const QString helper = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Orvella_LaunchHelper"));
    // The installed desktop entry and its icon are named after the application's identifier.
    return LoginItem::setEnabled(bundleIdentifier, enabled, helper, infoPlistString(QStringLiteral("CFBundleExecutable")),
                                 infoPlistString(QStringLiteral("AppBundleIdentifier")));
}
