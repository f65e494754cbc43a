#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

#include "frameworks/sync/SyncTypes.h"

class MessagePort;

// A message-port server of the application: it serves one local port on the event loop of the
// thread that opens it (the main thread) and answers each message there.
class Server {
public:
    virtual ~Server();

    // Opens a local port under the name and serves it; false, with "Cannot create message port."
    // on the FinderSync channel, when the port cannot be created. The application runs on then.
    bool addSourceForNewLocalMessagePort(const QString& name);
    // Whether a port is being served.
    bool hasMessagePort() const { return port_ != nullptr; }

    // The answer to one message: bytes, or none.
    virtual std::optional<QByteArray> handleMessageWithID(std::int32_t messageId, const QByteArray& data) = 0;

    // The badge word of an item status; a value outside the known cases reads "readOnly".
    static QString badgeWord(OVItemSyncStatus status);

protected:
    // The local port with this server's callout; none when it cannot be created.
    virtual std::shared_ptr<MessagePort> createMessagePortWithName(const QString& name);

private:
    std::shared_ptr<MessagePort> port_;
};
