#include "nautilus/PendingUpdates.h"

#include <algorithm>

PendingUpdates::Id PendingUpdates::add(const std::string& path, Clock::time_point now) {
    const Id id = nextId_++;
    entries_.emplace(id, Entry{path, now + timeout_});
    std::vector<Id>& waiting = byPath_[path];
    // A path already awaited gets the answer the first one asked for.
    if (waiting.empty()) batch_.push_back(path);
    waiting.push_back(id);
    return id;
}

std::vector<std::string> PendingUpdates::takeBatch() {
    std::vector<std::string> batch;
    batch.swap(batch_);
    std::erase_if(batch, [this](const std::string& path) { return !byPath_.contains(path); });
    return batch;
}

std::vector<PendingUpdates::Id> PendingUpdates::resolve(const std::string& path) {
    timedOut_.erase(path);
    due_.erase(path);
    const auto found = byPath_.find(path);
    if (found == byPath_.end()) return {};
    std::vector<Id> ids = std::move(found->second);
    byPath_.erase(found);
    for (const Id id : ids) entries_.erase(id);
    return ids;
}

bool PendingUpdates::cancel(Id id) {
    const auto found = entries_.find(id);
    if (found == entries_.end()) return false;
    forget(id, found->second.path);
    entries_.erase(found);
    return true;
}

std::vector<PendingUpdates::Id> PendingUpdates::expire(Clock::time_point now) {
    std::vector<Id> expired;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second.deadline > now) {
            ++it;
            continue;
        }
        expired.push_back(it->first);
        forget(it->first, it->second.path);
        if (!byPath_.contains(it->second.path) && ++timedOut_[it->second.path] <= retries_)
            due_[it->second.path] = now + retryDelay_;
        it = entries_.erase(it);
    }
    return expired;
}

std::vector<std::string> PendingUpdates::dueRetries(Clock::time_point now) {
    std::vector<std::string> due;
    for (auto it = due_.begin(); it != due_.end();) {
        if (it->second > now) {
            ++it;
            continue;
        }
        // Asked again meanwhile: that wait retries on its own.
        if (!byPath_.contains(it->first)) due.push_back(it->first);
        it = due_.erase(it);
    }
    return due;
}

std::vector<PendingUpdates::Id> PendingUpdates::takeAll() {
    std::vector<Id> ids;
    ids.reserve(entries_.size());
    for (const auto& entry : entries_) ids.push_back(entry.first);
    entries_.clear();
    byPath_.clear();
    batch_.clear();
    timedOut_.clear();
    due_.clear();
    return ids;
}

void PendingUpdates::forget(Id id, const std::string& path) {
    const auto found = byPath_.find(path);
    if (found == byPath_.end()) return;
    std::erase(found->second, id);
    if (found->second.empty()) byPath_.erase(found);
}
