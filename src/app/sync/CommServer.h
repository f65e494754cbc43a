#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "app/sync/Server.h"
#include "frameworks/sync/SyncTypes.h"

class FinderSyncInstance;
class SerialQueue;

// Takes the extensions' registrations and pushes item statuses and the sync folder to them.
//
// The registry holds one instance per port name (a second registration replaces the first), at
// most maximumRegistrations of them, and is guarded: registrations come on the main thread,
// pushes on the sync engine's threads. A push waits up to 2 s for each instance that does not
// take it, so a push asked for on the main thread runs on a queue of the server's own, in the
// order asked. A registration is answered once the extension's port took the connection, which
// the main thread never waits for.
class CommServer : public Server {
public:
    CommServer();
    ~CommServer() override;

    // Far above the instances that really run (one per file-manager process): each holds a
    // descriptor, and a process registering names by the hundred must not exhaust them. Beyond
    // it, the instances whose port has gone make room first, then the longest registered.
    static constexpr std::size_t maximumRegistrations = 64;
    static constexpr int maximumFailedPushes = 3;

    // The payload is the extension's port name; the answer is the sync folder's path, or none
    // (nothing recorded) when the name is not UTF-8, nobody serves it, or no sync folder is set.
    // Waits up to the send time-out for the extension's port: the server's own port answers
    // registrations without this wait.
    std::optional<QByteArray> handleMessageWithID(std::int32_t messageId, const QByteArray& data) override;

    // Pushes an item's badge word, as a URLSyncStatus record of the item's file URL.
    virtual void sendStatus(OVItemSyncStatus status, const QString& path);
    // Pushes the sync folder's path as a RootDirectory record.
    virtual void sendUpdatedRootDirectoryToExtensions(const QString& path);
    // Drops the instances that no longer serve their port, then sends the data to every other one;
    // a failed send is logged, and an instance whose sends failed maximumFailedPushes times in a
    // row is dropped.
    void sendDataToExtensions(const QByteArray& data);

    // The registered instances now, in push order.
    std::vector<std::shared_ptr<FinderSyncInstance>> registeredSyncExtensions() const;
    // Waits until the pushes handed to the server's queue have run (tests, shut-down).
    void waitForPendingPushes();

protected:
    std::shared_ptr<MessagePort> createMessagePortWithName(const QString& name) override;

private:
    struct Registration {
        QString portName;
        QString folder;
    };
    // What a registration asks for; none when it is answered none at once.
    static std::optional<Registration> registrationFor(const QByteArray& data);
    // Records the instance connected to, and answers the sync folder; none when nothing connected.
    std::optional<QByteArray> addInstance(const Registration& registration, std::shared_ptr<MessagePort> port);
    void push(const QByteArray& data);
    // Makes room for one more registration; called with the lock held.
    void dropRegistrationsOverTheCap();

    struct Registered {
        std::shared_ptr<FinderSyncInstance> instance;
        std::uint64_t order = 0;  // when it registered, the earliest lowest
        int failedPushes = 0;     // in a row
    };
    mutable std::mutex mutex_;
    std::map<QString, Registered> registeredSyncExtensions_;
    std::uint64_t nextRegistration_ = 0;
    std::unique_ptr<SerialQueue> pushQueue_;
    // Tells registrations still connecting that the server has gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
