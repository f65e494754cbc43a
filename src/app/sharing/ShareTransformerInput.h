#pragma once

#include <QVariant>

#include <cstdint>
#include <optional>
#include <vector>

// How the share transformers read bound values: numbers (Booleans included, as bindings hand
// flags over as numbers) and lists of integers.
namespace ShareTransformerInput {

bool isNumber(const QVariant& value);
// The number taken as an integer, fractions cut off; none for anything that is not a number.
std::optional<std::int64_t> integer(const QVariant& value);
// An integral number only (a Boolean or 1.5 is not); for popup indexes.
std::optional<std::int64_t> exactInteger(const QVariant& value);
// A list whose every entry is a number, as integers; none for anything else.
std::optional<std::vector<std::int64_t>> integerList(const QVariant& value);

}  // namespace ShareTransformerInput
