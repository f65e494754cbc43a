#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// The local items Nautilus asked about, so that they can be redrawn when what they show may have
// changed without a push for each (the application went away, came back, named another sync
// folder). Bounded: the least recently asked are forgotten first. Also counts, per folder, the
// items answered since last asked, for the module's log.
class ShownItems {
public:
    explicit ShownItems(std::size_t capacity) : capacity_(capacity) {}

    void remember(const std::string& path);
    void answered(const std::string& path);
    // Most recently asked first.
    std::vector<std::string> paths() const { return {order_.begin(), order_.end()}; }
    // Each folder with the number of its items answered, and the count starts again.
    std::vector<std::pair<std::string, std::size_t>> takeTally();

    static std::string parentFolder(const std::string& path);

private:
    std::size_t capacity_;
    std::list<std::string> order_;
    std::unordered_map<std::string, std::list<std::string>::iterator> index_;
    std::map<std::string, std::size_t> tally_;
};
