#pragma once

#include <QString>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

class ConnectivityManager;

// One subscriber of connectivity changes, known to the manager by its identifier.
class ConnectivityChangeSubscriber {
public:
    virtual ~ConnectivityChangeSubscriber() = default;
    virtual QUuid identifier() const = 0;
    // Called on the manager's notifying thread (any thread), with the manager itself.
    virtual void connectivityChanged(ConnectivityManager& manager) = 0;
};

struct ConnectivityError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Tracks whether the service can be reached and tells every subscriber when that changes.
// Subscribers are told the current state when they subscribe and on every change, so that an
// installation that is already set up connects at launch.
class ConnectivityManager {
public:
    // Probes reachability; the embedded service answers this (tests make it unreachable).
    using Probe = std::function<bool()>;
    explicit ConnectivityManager(Probe probe);

    bool isConnected() const;
    // Throws ConnectivityError for a null subscriber or an identifier already subscribed.
    void addSubscriber(ConnectivityChangeSubscriber* subscriber);
    void removeSubscriber(const QUuid& identifier);
    int subscriberCount() const;

    // Re-probes and notifies every subscriber when the state changed (or always when forced).
    void refresh(bool notifyEvenIfUnchanged = false);

private:
    void notifyAll();

    Probe probe_;
    mutable std::mutex mutex_;
    bool connected_ = false;
    std::map<QUuid, ConnectivityChangeSubscriber*> subscribers_;
};
