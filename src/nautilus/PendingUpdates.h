#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

// The items Nautilus was told "in progress" for: each waits for its badge until a deadline, may be
// cancelled by Nautilus, and is asked of the application together with the others asked in the
// same turn of the main loop. Every update ends exactly once: answered, expired, cancelled or
// dropped; an update that never ends leaves Nautilus waiting, one that ends twice crashes it.
class PendingUpdates {
public:
    using Clock = std::chrono::steady_clock;
    using Id = std::uint64_t;  // never 0, never reused

    explicit PendingUpdates(std::chrono::milliseconds timeout) : timeout_(timeout) {}

    Id add(const std::string& path, Clock::time_point now);
    // The paths to ask the application for, each once, in the order first asked; none that is
    // already asked and still awaited, none whose updates were all cancelled meanwhile.
    std::vector<std::string> takeBatch();
    // The updates the badge of `path` ends.
    std::vector<Id> resolve(const std::string& path);
    // False when the update has already ended.
    bool cancel(Id id);
    // The updates whose deadline has come.
    std::vector<Id> expire(Clock::time_point now);
    // Every update still waiting: nobody is left to answer them.
    std::vector<Id> takeAll();
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::string path;
        Clock::time_point deadline;
    };
    void forget(Id id, const std::string& path);

    std::chrono::milliseconds timeout_;
    Id nextId_ = 1;
    std::map<Id, Entry> entries_;
    std::unordered_map<std::string, std::vector<Id>> byPath_;
    std::vector<std::string> batch_;
};
