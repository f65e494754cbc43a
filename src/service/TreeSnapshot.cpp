#include "service/TreeSnapshot.h"

#include <algorithm>
#include <set>

namespace {

// The spare value of a node's type: the slot of an item erased in place.
constexpr std::uint64_t erased = 3;

std::pair<std::string_view, std::string_view> split(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {std::string_view(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

void join(std::string& path, std::string_view folder, std::string_view name) {
    path.assign(folder);
    if (!folder.empty()) path += '/';
    path += name;
}

// Grown by an eighth rather than doubled: a folder filled an item at a time would otherwise
// carry up to as much room again unused.
template <typename T>
void makeRoom(std::vector<T>& vector, std::size_t more) {
    if (vector.size() + more > vector.capacity()) vector.reserve(vector.size() + more + vector.size() / 8 + 4);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// One folder

std::size_t TreeSnapshot::Folder::indexOf(std::string_view key) const {
    const auto runEnd = slots_.begin() + std::ptrdiff_t(run_);
    const auto at = std::lower_bound(slots_.begin(), runEnd, key, [this](const Slot& slot, std::string_view k) { return name(slot) < k; });
    if (at != runEnd && name(*at) == key) return std::size_t(at - slots_.begin());
    for (auto it = runEnd; it != slots_.end(); ++it)
        if (name(*it) == key) return std::size_t(it - slots_.begin());
    return slots_.size();
}

const TreeSnapshot::Node* TreeSnapshot::Folder::find(std::string_view key) const {
    const std::size_t i = indexOf(key);
    return i < slots_.size() && slots_[i].node.type != erased ? &slots_[i].node : nullptr;
}

std::optional<TreeSnapshot::Node> TreeSnapshot::Folder::set(std::string_view key, const Node& node) {
    if (const std::size_t i = indexOf(key); i < slots_.size()) {
        Slot& slot = slots_[i];
        std::optional<Node> old;
        if (slot.node.type == erased) --marks_;
        else old = slot.node;
        slot.node = node;
        return old;
    }
    const bool extendsRun = run_ == slots_.size() && (run_ == 0 || name(slots_[run_ - 1]) < key);
    makeRoom(names_, key.size());
    const Slot slot{node, std::uint32_t(names_.size()), std::uint32_t(key.size())};
    names_.insert(names_.end(), key.begin(), key.end());
    makeRoom(slots_, 1);
    slots_.push_back(slot);
    const std::size_t arrivals = slots_.size() - run_;
    if (extendsRun) ++run_;
    else if (arrivals > 8 && arrivals * arrivals > run_) settle();
    return std::nullopt;
}

std::optional<TreeSnapshot::Node> TreeSnapshot::Folder::erase(std::string_view key) {
    const std::size_t i = indexOf(key);
    if (i == slots_.size() || slots_[i].node.type == erased) return std::nullopt;
    const Slot slot = slots_[i];
    if (i < run_ && i + 1 < slots_.size()) {
        slots_[i].node.type = erased;
        ++marks_;
        if (marks_ * 2 > run_) settle();
        return slot.node;
    }
    // The last slot, or an arrival (those have no order among them).
    slots_[i] = slots_.back();
    slots_.pop_back();
    run_ = std::min(run_, slots_.size());
    if (slot.at + slot.length == names_.size()) names_.resize(slot.at);
    else garbage_ += slot.length;
    if (garbage_ * 2 > names_.size() + 64) settle();
    return slot.node;
}

void TreeSnapshot::Folder::adopt(std::vector<Item> items) {
    if (!slots_.empty()) {
        for (const Item& item : items) set(item.name, item.node);
        return;
    }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.name < b.name; });
    std::size_t bytes = 0;
    for (const Item& item : items) bytes += item.name.size();
    slots_.reserve(items.size());
    names_.reserve(bytes);
    for (const Item& item : items) {
        slots_.push_back(Slot{item.node, std::uint32_t(names_.size()), std::uint32_t(item.name.size())});
        names_.insert(names_.end(), item.name.begin(), item.name.end());
    }
    run_ = slots_.size();
}

std::int64_t TreeSnapshot::Folder::usedBytes() const {
    std::int64_t bytes = 0;
    for (const Slot& slot : slots_) bytes += slot.node.usedBytes();  // a mark counts nothing
    return bytes;
}

const std::vector<TreeSnapshot::Folder::Slot>& TreeSnapshot::Folder::sorted() {
    if (run_ != slots_.size() || marks_) settle();
    return slots_;
}

// Sorts the arrivals in; after erasures, also drops the marks and lays the names out afresh
// without gaps or spare room.
void TreeSnapshot::Folder::settle() {
    const auto byName = [this](const Slot& a, const Slot& b) { return name(a) < name(b); };
    auto runEnd = slots_.begin() + std::ptrdiff_t(run_);
    if (marks_) {
        const auto kept = std::remove_if(slots_.begin(), runEnd, [](const Slot& slot) { return slot.node.type == erased; });
        slots_.erase(std::copy(runEnd, slots_.end(), kept), slots_.end());
        runEnd = kept;
    }
    // The arrivals are few against the run: each finds its place by a binary search and the run
    // moves up around them in blocks, rather than a comparison for every slot.
    std::sort(runEnd, slots_.end(), byName);
    const std::vector<Slot> arrivals(runEnd, slots_.end());
    auto placed = slots_.end();
    for (auto arrival = arrivals.rbegin(); arrival != arrivals.rend(); ++arrival) {
        const auto at = std::upper_bound(slots_.begin(), runEnd, *arrival, byName);
        placed = std::move_backward(at, runEnd, placed);
        *--placed = *arrival;
        runEnd = at;
    }
    if (marks_ || garbage_) {
        std::size_t bytes = 0;
        for (const Slot& slot : slots_) bytes += slot.length;
        std::vector<char> names;
        names.reserve(bytes);
        for (Slot& slot : slots_) {
            const std::string_view n = name(slot);
            slot.at = std::uint32_t(names.size());
            names.insert(names.end(), n.begin(), n.end());
        }
        names_ = std::move(names);
        if (slots_.capacity() > slots_.size() + slots_.size() / 4 + 8) slots_.shrink_to_fit();
    }
    run_ = slots_.size();
    marks_ = garbage_ = 0;
}

// ---------------------------------------------------------------------------------------------
// The tree

const TreeSnapshot::Node* TreeSnapshot::find(std::string_view path) const {
    const auto [folder, name] = split(path);
    const auto it = folders_.find(folder);
    return it == folders_.end() ? nullptr : it->second.find(name);
}

std::optional<TreeSnapshot::Node> TreeSnapshot::set(std::string_view path, const Node& node) {
    const auto [folder, name] = split(path);
    auto it = folders_.find(folder);
    if (it == folders_.end()) it = folders_.try_emplace(std::string(folder)).first;
    return it->second.set(name, node);
}

std::int64_t TreeSnapshot::eraseBelow(std::string_view path) {
    std::int64_t bytes = 0;
    const auto [folder, name] = split(path);
    if (auto it = folders_.find(folder); it != folders_.end() && !path.empty()) {
        if (const auto old = it->second.erase(name)) bytes += old->usedBytes();
        if (it->second.size() == 0) folders_.erase(it);
    }
    const auto drop = [&](auto it) {
        bytes += it->second.usedBytes();
        return folders_.erase(it);
    };
    if (auto it = folders_.find(path); it != folders_.end()) drop(it);
    // The folder and those below it are two ranges: "a b" sorts between "a" and "a/c".
    const std::string below = path.empty() ? std::string() : std::string(path) + '/';
    for (auto it = folders_.lower_bound(below); it != folders_.end() && it->first.starts_with(below);) it = drop(it);
    return bytes;
}

void TreeSnapshot::addFolder(std::string_view folder, std::vector<Item> items) {
    if (!items.empty()) folders_[std::string(folder)].adopt(std::move(items));
}

void TreeSnapshot::merge(TreeSnapshot&& other) {
    folders_.merge(other.folders_);
    for (auto& [folder, items] : other.folders_)  // folders both had, which a walk does not make
        for (const Folder::Slot& slot : items.sorted()) folders_[folder].set(items.name(slot), slot.node);
    other.clear();
}

std::size_t TreeSnapshot::size() const {
    std::size_t count = 0;
    for (const auto& [folder, items] : folders_) count += items.size();
    return count;
}

std::int64_t TreeSnapshot::usedBytes() const {
    std::int64_t bytes = 0;
    for (const auto& [folder, items] : folders_) bytes += items.usedBytes();
    return bytes;
}

void TreeSnapshot::forEach(const std::function<void(const std::string& path, const Node& node)>& visit) {
    std::string path;
    for (auto& [folder, items] : folders_) {
        for (const Folder::Slot& slot : items.sorted()) {
            join(path, folder, items.name(slot));
            visit(path, slot.node);
        }
    }
}

void TreeSnapshot::diff(TreeSnapshot& before, TreeSnapshot& after, const std::function<void(const std::string& path)>& changed) {
    std::set<std::string, std::less<>> whole;  // folders that came, went or changed type
    const auto insideWhole = [&](std::string_view folder) {
        for (;; folder = split(folder).first) {
            if (whole.contains(folder)) return true;
            if (folder.empty()) return false;
        }
    };
    std::string path;
    const auto note = [&](std::string_view folder, std::string_view name, bool isWhole) {
        join(path, folder, name);
        changed(path);
        if (isWhole) whole.insert(path);
    };
    // A parent sorts before its folders, so it has been compared by the time they are.
    const auto compare = [&](const std::string& folder, Folder& a, Folder& b) {
        if (insideWhole(folder)) return;
        const auto& x = a.sorted();
        const auto& y = b.sorted();
        auto i = x.begin();
        auto j = y.begin();
        while (i != x.end() || j != y.end()) {
            const int order = i == x.end() ? 1 : j == y.end() ? -1 : a.name(*i).compare(b.name(*j));
            if (order < 0) {
                note(folder, a.name(*i), i->node.type == Node::directory);
                ++i;
            } else if (order > 0) {
                note(folder, b.name(*j), j->node.type == Node::directory);
                ++j;
            } else {
                if (!(i->node == j->node)) note(folder, a.name(*i), i->node.type != j->node.type);
                ++i;
                ++j;
            }
        }
    };
    Folder none;
    auto a = before.folders_.begin();
    auto b = after.folders_.begin();
    while (a != before.folders_.end() || b != after.folders_.end()) {
        if (b == after.folders_.end() || (a != before.folders_.end() && a->first < b->first)) {
            compare(a->first, a->second, none);
            ++a;
        } else if (a == before.folders_.end() || b->first < a->first) {
            compare(b->first, none, b->second);
            ++b;
        } else {
            compare(a->first, a->second, b->second);
            ++a;
            ++b;
        }
    }
}
