#pragma once

#include "frameworks/caching/CachedItem.h"

// A query over cached items, made by a FilterBuilder.
class Filter {
public:
    virtual ~Filter() = default;

    virtual bool matches(const CachedItem& item) const = 0;
    // At most this many results; 0 means no limit.
    virtual int maximumCount() const = 0;
};
