#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// The application's own images, drawn in code and known by name: the status-bar images of each
// sync state and the sync folder's icon. A name the set does not hold gives a null image.
namespace SyncStatusImages {

inline const QString statusBarDefault = QStringLiteral("StatusBarDefault");
inline const QString statusBarOffline = QStringLiteral("StatusBarOffline");
inline const QString statusBarSyncing = QStringLiteral("StatusBarSyncing");
inline const QString statusBarPaused = QStringLiteral("StatusBarPaused");
inline const QString statusBarErrorActive = QStringLiteral("StatusBarErrorActive");
inline const QString statusBarErrorInactive = QStringLiteral("StatusBarErrorInactive");
inline const QString finderSyncRootIcon = QStringLiteral("FinderSyncRootIcon");

// Every name the set holds.
QStringList names();

// The image drawn at `size` pixels, transparent around the drawing. Any thread.
QImage image(const QString& name, QSize size);

// An icon that draws itself at whatever size is asked; its name() is `name`. Null for an unknown
// name. Main thread (icons belong to the interface).
QIcon icon(const QString& name);

}  // namespace SyncStatusImages
