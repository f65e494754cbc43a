#pragma once

#include <QString>

#include <cstdint>

// Item flags of a file event. The values are those the sync layer above stores in its own event
// flags, bit for bit.
namespace FileEventFlag {

inline constexpr std::uint32_t mustScanSubDirs = 0x1;
inline constexpr std::uint32_t userDropped = 0x2;
inline constexpr std::uint32_t kernelDropped = 0x4;
inline constexpr std::uint32_t eventIdsWrapped = 0x8;
inline constexpr std::uint32_t historyDone = 0x10;
inline constexpr std::uint32_t rootChanged = 0x20;
inline constexpr std::uint32_t mount = 0x40;
inline constexpr std::uint32_t unmount = 0x80;
inline constexpr std::uint32_t itemCreated = 0x100;
inline constexpr std::uint32_t itemRemoved = 0x200;
inline constexpr std::uint32_t itemInodeMetaMod = 0x400;
inline constexpr std::uint32_t itemRenamed = 0x800;
inline constexpr std::uint32_t itemModified = 0x1000;
inline constexpr std::uint32_t itemFinderInfoMod = 0x2000;
inline constexpr std::uint32_t itemChangeOwner = 0x4000;
inline constexpr std::uint32_t itemXattrMod = 0x8000;
inline constexpr std::uint32_t itemIsFile = 0x10000;
inline constexpr std::uint32_t itemIsDir = 0x20000;
inline constexpr std::uint32_t itemIsSymlink = 0x40000;
inline constexpr std::uint32_t ownEvent = 0x80000;
inline constexpr std::uint32_t itemIsHardlink = 0x100000;
inline constexpr std::uint32_t itemIsLastHardlink = 0x200000;
inline constexpr std::uint32_t itemCloned = 0x400000;

}  // namespace FileEventFlag

// One change under a watched folder as the stream delivers it.
struct FileEvent {
    QString path;             // absolute path of the item
    std::uint32_t flags = 0;  // FileEventFlag bits
    std::uint64_t id = 0;     // consecutive within a delivery, except around events that stand alone

    bool operator==(const FileEvent&) const = default;
};
