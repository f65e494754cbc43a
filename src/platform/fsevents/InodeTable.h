#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The owner and mode an item had when last seen, to tell a permission change from other changes
// of its metadata.
struct InodeMeta {
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    // Read after the item may have changed under a watch already: the change's event may still be
    // on its way, and what it changed cannot be told.
    bool uncertain = false;
    // Whether the item was seen since the current sweep began (it holds the sweep's mark).
    std::uint8_t mark = 0;

    static InodeMeta of(const struct stat& st, std::uint8_t mark, bool uncertain = false) {
        return {st.st_mode & 07777, st.st_uid, st.st_gid, uncertain, mark};
    }
    bool sameOwnerAndMode(const InodeMeta& other) const {
        return mode == other.mode && uid == other.uid && gid == other.gid;
    }
};

// InodeMeta by inode for every item of a watched tree, in one flat table of 16 bytes a slot: the
// few owners a tree has are kept apart and named by number. A map of nodes took 60 bytes an item,
// 6 MB at 100,000 items.
class InodeTable {
public:
    std::size_t size() const { return size_; }

    std::optional<InodeMeta> find(ino_t inode) const {
        if (slots_.empty()) return std::nullopt;
        const Slot& slot = slots_[probe(inode)];
        if (!slot.used()) return std::nullopt;
        return decode(slot);
    }

    // Stores `meta`; what was there before, if anything.
    std::optional<InodeMeta> exchange(ino_t inode, const InodeMeta& meta) {
        reserveOneMore();
        Slot& slot = slots_[probe(inode)];
        std::optional<InodeMeta> before;
        if (slot.used()) before = decode(slot);
        else ++size_;
        slot = encode(inode, meta);
        return before;
    }
    void assign(ino_t inode, const InodeMeta& meta) { exchange(inode, meta); }

    // Stores `meta` unless the inode has an entry; whether it did not.
    bool insert(ino_t inode, const InodeMeta& meta) {
        reserveOneMore();
        Slot& slot = slots_[probe(inode)];
        if (slot.used()) return false;
        slot = encode(inode, meta);
        ++size_;
        return true;
    }

    void setMark(ino_t inode, std::uint8_t mark) {
        if (slots_.empty()) return;
        Slot& slot = slots_[probe(inode)];
        if (slot.used()) slot.mark = mark;
    }

    // Keeps only the entries `keep` says yes to, in a table sized for them.
    template <typename Keep>
    void keepIf(Keep keep) {
        std::vector<std::pair<ino_t, InodeMeta>> kept;
        for (const Slot& slot : slots_)
            if (slot.used() && keep(decode(slot))) kept.emplace_back(slot.inode, decode(slot));
        clear();
        for (const auto& [inode, meta] : kept) insert(inode, meta);
    }

    void clear() {
        slots_ = {};
        owners_ = {};
        size_ = 0;
    }

private:
    static constexpr std::uint8_t usedFlag = 1, uncertainFlag = 2;
    static constexpr std::uint16_t unknownOwner = 0xffff;

    struct Slot {
        ino_t inode = 0;
        std::uint16_t mode = 0;
        std::uint16_t owner = 0;
        std::uint8_t flags = 0;
        std::uint8_t mark = 0;
        bool used() const { return flags & usedFlag; }
    };
    static_assert(sizeof(Slot) == 16);

    std::size_t probe(ino_t inode) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = std::size_t((std::uint64_t(inode) * 0x9E3779B97F4A7C15ULL) >> 20) & mask;
        while (slots_[at].used() && slots_[at].inode != inode) at = (at + 1) & mask;
        return at;
    }

    void reserveOneMore() {
        if ((size_ + 1) * 4 <= slots_.size() * 3) return;
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        for (const Slot& slot : old)
            if (slot.used()) slots_[probe(slot.inode)] = slot;
    }

    Slot encode(ino_t inode, const InodeMeta& meta) {
        Slot slot;
        slot.inode = inode;
        slot.mode = std::uint16_t(meta.mode & 07777);
        slot.owner = ownerNumber(meta.uid, meta.gid);
        slot.flags = std::uint8_t(usedFlag | (meta.uncertain ? uncertainFlag : 0));
        slot.mark = meta.mark;
        return slot;
    }

    InodeMeta decode(const Slot& slot) const {
        InodeMeta meta;
        meta.mode = slot.mode;
        meta.mark = slot.mark;
        meta.uncertain = slot.flags & uncertainFlag;
        if (slot.owner == unknownOwner) {
            // Past the owners a table can name: what it was cannot be told.
            meta.uid = uid_t(-1);
            meta.gid = gid_t(-1);
            meta.uncertain = true;
        } else {
            std::tie(meta.uid, meta.gid) = owners_[slot.owner];
        }
        return meta;
    }

    std::uint16_t ownerNumber(uid_t uid, gid_t gid) {
        for (std::size_t i = 0; i < owners_.size(); ++i)
            if (owners_[i] == std::pair(uid, gid)) return std::uint16_t(i);
        // A tree of many owners gives up telling the later ones apart rather than grow a search
        // that every lookup pays for.
        if (owners_.size() >= 256) return unknownOwner;
        owners_.emplace_back(uid, gid);
        return std::uint16_t(owners_.size() - 1);
    }

    std::vector<Slot> slots_;
    std::vector<std::pair<uid_t, gid_t>> owners_;
    std::size_t size_ = 0;
};
