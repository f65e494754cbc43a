#include "nautilus/ShownItems.h"

void ShownItems::remember(const std::string& path) {
    if (const auto found = index_.find(path); found != index_.end()) {
        order_.splice(order_.begin(), order_, found->second);
        return;
    }
    order_.push_front(path);
    index_.emplace(path, order_.begin());
    if (order_.size() <= capacity_) return;
    index_.erase(order_.back());
    order_.pop_back();
}

void ShownItems::answered(const std::string& path) {
    remember(path);
    ++tally_[parentFolder(path)];
}

std::vector<std::pair<std::string, std::size_t>> ShownItems::takeTally() {
    std::vector<std::pair<std::string, std::size_t>> tally(tally_.begin(), tally_.end());
    tally_.clear();
    return tally;
}

std::string ShownItems::parentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}
