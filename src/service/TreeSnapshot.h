#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The change journal's picture of a user's tree: every item below the home by its relative path
// in UTF-8, with what tells that it changed. Held per folder, so that a folder's path is stored
// once and an item costs its node, its name and eight bytes: a tree of 100,000 files fits in a
// few megabytes, where a map of full paths took three times that.
class TreeSnapshot {
public:
    struct Node {
        // The fourth value of `type` is the snapshot's own: never given to it nor handed out.
        enum Type : std::uint8_t { file, directory, other };
        std::int64_t size = 0;
        std::int64_t mtimeNs = 0;
        std::uint64_t inode : 62 = 0;
        std::uint64_t type : 2 = file;
        bool operator==(const Node&) const = default;
        std::int64_t usedBytes() const { return type == file ? size : 0; }
    };
    struct Item {
        std::string name;
        Node node;
    };

    const Node* find(std::string_view path) const;
    // What was there before, if anything.
    std::optional<Node> set(std::string_view path, const Node& node);
    // Removes `path` and everything below it; returns the bytes of the files removed.
    std::int64_t eraseBelow(std::string_view path);
    // The items read from `folder`, each name once, where nothing of it is known yet.
    void addFolder(std::string_view folder, std::vector<Item> items);
    // Takes in a snapshot of folders this one does not have (one just walked).
    void merge(TreeSnapshot&& other);
    void clear() { folders_.clear(); }

    std::size_t size() const;
    std::int64_t usedBytes() const;
    // Every item, a folder's in the order of their names and a folder before those below it.
    void forEach(const std::function<void(const std::string& path, const Node& node)>& visit);
    // Every path whose item differs between the two; for a folder that came, went or turned into
    // a file or from one, nothing below it is listed.
    static void diff(TreeSnapshot& before, TreeSnapshot& after, const std::function<void(const std::string& path)>& changed);

private:
    // One folder's items by name, in two vectors so that an item needs no allocation of its own:
    // its node with where its name lies, and the names one after another. A folder may hold
    // 100,000 items that come in any order, so the slots are not kept sorted one insertion at a
    // time (each would move half of them): a sorted run is followed by the latest arrivals,
    // merged into it once they are as many as the square root of the run, so a lookup scans few
    // and a merge comes seldom; an item erased from the run is marked until the marks are half
    // of it. Names that arrive in order, the usual case, just lengthen the run.
    class Folder {
    public:
        struct Slot {
            Node node;
            std::uint32_t at = 0;
            std::uint32_t length = 0;
        };
        const Node* find(std::string_view name) const;
        std::optional<Node> set(std::string_view name, const Node& node);
        std::optional<Node> erase(std::string_view name);
        void adopt(std::vector<Item> items);
        std::size_t size() const { return slots_.size() - marks_; }
        std::int64_t usedBytes() const;
        // The slots sorted by name and without marks, until the next change.
        const std::vector<Slot>& sorted();
        std::string_view name(const Slot& slot) const { return {names_.data() + slot.at, slot.length}; }

    private:
        // The slot of that name, marked or not; slots_.size() when there is none.
        std::size_t indexOf(std::string_view name) const;
        void settle();
        std::vector<Slot> slots_;
        std::vector<char> names_;
        std::size_t run_ = 0;      // slots_[0, run_) are sorted, marks included
        std::size_t marks_ = 0;    // slots of the run erased in place
        std::size_t garbage_ = 0;  // bytes of names_ no slot points at
    };

    std::map<std::string, Folder, std::less<>> folders_;  // "" the home; none without items
};
