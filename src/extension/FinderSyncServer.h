#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

#include "extension/FinderSyncServerDelegate.h"
#include "platform/messageport/MessagePort.h"

// Receives the application's pushes on the extension's own port: an item's new badge goes straight
// to the file manager, a new sync folder to the delegate. One per process.
class FinderSyncServer {
public:
    static FinderSyncServer& shared();

    // Not owned; the delegate clears itself when it goes away.
    FinderSyncServerDelegate* delegate() const { return delegate_; }
    void setDelegate(FinderSyncServerDelegate* delegate) { delegate_ = delegate; }

    // Handles one push; the answer is always none.
    std::optional<QByteArray> handleMessage(std::int32_t messageID, const QByteArray& data);

    // The port's callout: hands each message to the shared server.
    static MessagePort::Callback callback();

    // Opens a local port served on the calling thread; none, with the error "Cannot create message
    // port.", when it cannot be opened.
    static std::shared_ptr<MessagePort> addSourceForNewLocalMessagePort(const QString& name);

private:
    FinderSyncServerDelegate* delegate_ = nullptr;
};
