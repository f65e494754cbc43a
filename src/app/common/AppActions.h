#pragma once

#include <QString>
#include <QStringList>

// The actions menus, toolbars and windows send to the application, each spelled once. A name
// that nobody handles is reported by the application when it is sent.
#define OV_APP_ACTIONS(X)        \
    X(resetUserSession)          \
    X(showOnboardingWindow)      \
    X(closeOnboardingWindow)     \
    X(showPreferencesWindow)     \
    X(showBackupPreferencesWindow) \
    X(showBackups)               \
    X(closeBackupWindow)         \
    X(showSharedItems)           \
    X(closeShareWindow)          \
    X(showConnectionDoctor)      \
    X(startBackup)               \
    X(cancelBackup)              \
    X(toggleSync)                \
    X(openFolder)                \
    X(openPictures)              \
    X(openMovies)                \
    X(openContacts)              \
    X(openCalendars)             \
    X(openWebsite)               \
    X(openHelp)                  \
    X(createErrorReport)         \
    X(resetToFactorySettings)

namespace AppAction {

#define OV_APP_ACTION_CONSTANT(name) inline const QString name = QStringLiteral(#name ":");
OV_APP_ACTIONS(OV_APP_ACTION_CONSTANT)
#undef OV_APP_ACTION_CONSTANT

inline const QStringList& all() {
#define OV_APP_ACTION_ENTRY(name) name,
    static const QStringList names{OV_APP_ACTIONS(OV_APP_ACTION_ENTRY)};
#undef OV_APP_ACTION_ENTRY
    return names;
}

}  // namespace AppAction
