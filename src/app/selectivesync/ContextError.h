#pragma once

#include <QString>

#include <utility>
#include <variant>

// A failure of the selective-sync store underneath an object context: the file could not be
// opened, read or written, or a save met a row another context had changed or removed.
struct ContextError {
    QString description;
    // The store's file is not a readable store (corrupt, or not a database at all): another
    // attempt on the same file cannot succeed.
    bool isDamaged = false;
    bool operator==(const ContextError&) const = default;
};

// What a context operation gives: its value, or the error.
template <typename T>
class ContextResult {
public:
    ContextResult(T value) : value_(std::move(value)) {}
    ContextResult(ContextError error) : value_(std::move(error)) {}

    bool isSuccess() const { return std::holds_alternative<T>(value_); }
    const T& value() const { return std::get<T>(value_); }
    T valueOr(T fallback) const { return isSuccess() ? value() : std::move(fallback); }
    const ContextError& error() const { return std::get<ContextError>(value_); }

private:
    std::variant<T, ContextError> value_;
};
