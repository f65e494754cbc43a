#include "frameworks/business/ConnectivityManager.h"

#include <vector>

ConnectivityManager::ConnectivityManager(Probe probe) : probe_(std::move(probe)) {
    connected_ = probe_ ? probe_() : false;
}

bool ConnectivityManager::isConnected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}

void ConnectivityManager::addSubscriber(ConnectivityChangeSubscriber* subscriber) {
    if (!subscriber) throw ConnectivityError("No subscriber");
    {
        std::lock_guard lock(mutex_);
        if (!subscribers_.emplace(subscriber->identifier(), subscriber).second)
            throw ConnectivityError("Subscriber already registered");
    }
    subscriber->connectivityChanged(*this);
}

void ConnectivityManager::removeSubscriber(const QUuid& identifier) {
    std::lock_guard lock(mutex_);
    subscribers_.erase(identifier);
}

int ConnectivityManager::subscriberCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(subscribers_.size());
}

void ConnectivityManager::refresh(bool notifyEvenIfUnchanged) {
    const bool now = probe_ ? probe_() : false;
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        changed = now != connected_;
        connected_ = now;
    }
    if (changed || notifyEvenIfUnchanged) notifyAll();
}

void ConnectivityManager::notifyAll() {
    std::vector<QUuid> ids;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, s] : subscribers_) ids.push_back(id);
    }
    // A subscriber may unsubscribe itself or another while being told; look each one up afresh.
    for (const QUuid& id : ids) {
        ConnectivityChangeSubscriber* s = nullptr;
        {
            std::lock_guard lock(mutex_);
            auto it = subscribers_.find(id);
            if (it != subscribers_.end()) s = it->second;
        }
        if (s) s->connectivityChanged(*this);
    }
}
