#pragma once

#include <QHashFunctions>

#include <cstdint>
#include <functional>

// Names one stored node across contexts. Every node gets its identifier when it is inserted and
// keeps it for good, so an identifier taken in a background context names the same row in the
// view context once that context has been saved. Zero names nothing.
class ObjectID {
public:
    constexpr ObjectID() = default;
    constexpr explicit ObjectID(std::int64_t value) : value_(value) {}

    constexpr std::int64_t value() const { return value_; }
    constexpr bool isValid() const { return value_ > 0; }

    friend constexpr bool operator==(ObjectID, ObjectID) = default;
    friend constexpr auto operator<=>(ObjectID, ObjectID) = default;

private:
    std::int64_t value_ = 0;
};

inline size_t qHash(ObjectID id, size_t seed = 0) noexcept { return qHash(id.value(), seed); }

template <>
struct std::hash<ObjectID> {
    size_t operator()(ObjectID id) const noexcept { return std::hash<std::int64_t>()(id.value()); }
};
