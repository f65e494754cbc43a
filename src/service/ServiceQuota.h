#pragma once

#include <cstdint>

// An account's storage in bytes; `free` is never negative, also when the tree outgrew the quota.
struct ServiceQuota {
    std::int64_t overall = 0;
    std::int64_t used = 0;
    std::int64_t free = 0;
    bool operator==(const ServiceQuota&) const = default;
};
