#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Whether a restore fits on the disks it writes to. A restore puts each category back into its
// own folder, and those folders may lie on different volumes: each volume must keep 100,000,000
// bytes free after taking what goes there.
namespace RestoreSpace {

inline constexpr std::int64_t reservedBytes = 100'000'000;

struct Volume {
    QString identity;
    std::int64_t available = 0;
};
using VolumeReader = std::function<std::optional<Volume>(const QString& folder)>;

// The volume that writes into `folder` reach: that of the folder or, while it does not exist yet,
// of its nearest existing parent. None when it cannot be read.
std::optional<Volume> volumeOf(const QString& folder);

struct Need {
    QString folder;
    std::uint64_t bytes = 0;
};

// Whether every volume has room for what goes there; a volume that cannot be read is not checked.
bool fits(const std::vector<Need>& needs, const VolumeReader& reader = volumeOf);

}  // namespace RestoreSpace
