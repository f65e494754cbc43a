#pragma once

#include <cstdint>

// The item flags of a file-system event, as a set over one 32-bit word.
class FSEventFlags {
public:
    enum Flag : std::uint32_t {
        mustScanSubDirs = 0x1,
        userDropped = 0x2,
        kernelDropped = 0x4,
        eventIDsWrapped = 0x8,
        historyDone = 0x10,
        rootChanged = 0x20,
        mount = 0x40,
        unmount = 0x80,
        created = 0x100,
        removed = 0x200,
        metaMod = 0x400,
        renamed = 0x800,
        modified = 0x1000,
        finderInfoMod = 0x2000,
        changeOwner = 0x4000,
        xattrMod = 0x8000,
        isFile = 0x10000,
        isDirectory = 0x20000,
        isSymlink = 0x40000,
        ownEvent = 0x80000,
        itemIsHardLink = 0x100000,
        itemIsLastHardLink = 0x200000,
        itemCloned = 0x400000,
    };

    constexpr FSEventFlags() = default;
    constexpr FSEventFlags(Flag flag) : rawValue_(flag) {}
    constexpr explicit FSEventFlags(std::uint32_t rawValue) : rawValue_(rawValue) {}

    constexpr std::uint32_t rawValue() const { return rawValue_; }
    // Whether every flag of `other` is set.
    constexpr bool contains(FSEventFlags other) const { return (rawValue_ & other.rawValue_) == other.rawValue_; }
    constexpr bool isEmpty() const { return rawValue_ == 0; }
    constexpr void insert(FSEventFlags other) { rawValue_ |= other.rawValue_; }
    constexpr void remove(FSEventFlags other) { rawValue_ &= ~other.rawValue_; }

    constexpr FSEventFlags operator|(FSEventFlags other) const { return FSEventFlags(rawValue_ | other.rawValue_); }
    constexpr FSEventFlags operator&(FSEventFlags other) const { return FSEventFlags(rawValue_ & other.rawValue_); }
    constexpr FSEventFlags& operator|=(FSEventFlags other) {
        rawValue_ |= other.rawValue_;
        return *this;
    }
    constexpr bool operator==(const FSEventFlags&) const = default;

private:
    std::uint32_t rawValue_ = 0;
};

constexpr FSEventFlags operator|(FSEventFlags::Flag a, FSEventFlags::Flag b) {
    return FSEventFlags(a) | FSEventFlags(b);
}
