#pragma once

#include "app/sync/Server.h"

// Answers the extensions' badge queries from the sync engine's item statuses. Its port's callout
// hands every query to a fresh AppServer.
class AppServer : public Server {
public:
    // The payload is the item's URL; the answer is its badge word, or none when the payload is not
    // a file URL or the sync engine is not set up.
    std::optional<QByteArray> handleMessageWithID(std::int32_t messageId, const QByteArray& data) override;

protected:
    std::shared_ptr<MessagePort> createMessagePortWithName(const QString& name) override;
};
