#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

#include "protocol/core/ExtensionClient.h"

// Off unless asked for ("orvella.dolphin.debug=true" in QT_LOGGING_RULES): what a test or a user
// reporting a problem reads.
Q_DECLARE_LOGGING_CATEGORY(orvellaDolphin)

// The Dolphin process's one connection to the application, shared by what one plug-in library
// shows. Made on the main thread on first use and never destroyed: the client's thread may still
// report while Dolphin tears its plug-ins down. Its signals come on the main thread.
class DolphinClient : public QObject {
    Q_OBJECT

public:
    static DolphinClient& shared();

    OrvellaPorts::ExtensionClient& client() { return *client_; }
    // The sync folder the application named, or the one it named last time it ran, so that the
    // share command can start the application; none when it never ran.
    std::optional<QString> syncFolder() const;
    bool isInsideSyncFolder(const QString& path) const;

    // An item's overlay icons for its badge word: one emblem, or none ("unknown", or a word this
    // version does not know).
    static QStringList overlaysFor(const std::string& badge);
    static std::string localBytes(const QString& path);

Q_SIGNALS:
    void badgeChanged(const QString& path, const QString& badge);
    // The sync folder moved or the application went away: every item shown may have changed.
    void everythingChanged();

private:
    DolphinClient();

    std::unique_ptr<OrvellaPorts::ExtensionClient> client_;
};
