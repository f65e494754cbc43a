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
        it = entries_.erase(it);
    }
    return expired;
}

std::vector<PendingUpdates::Id> PendingUpdates::takeAll() {
    std::vector<Id> ids;
    ids.reserve(entries_.size());
    for (const auto& entry : entries_) ids.push_back(entry.first);
    entries_.clear();
    byPath_.clear();
    batch_.clear();
    return ids;
}

void PendingUpdates::forget(Id id, const std::string& path) {
    const auto found = byPath_.find(path);
    if (found == byPath_.end()) return;
    std::erase(found->second, id);
    if (found->second.empty()) byPath_.erase(found);
}
