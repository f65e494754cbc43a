#pragma once

#include <utility>
#include <variant>

// The outcome of an operation that either gives a value or fails with an error of its domain.
template <typename T, typename E>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(E error) : value_(std::move(error)) {}

    bool isSuccess() const { return std::holds_alternative<T>(value_); }
    explicit operator bool() const { return isSuccess(); }
    const T& value() const { return std::get<T>(value_); }
    T& value() { return std::get<T>(value_); }
    T valueOr(T fallback) const { return isSuccess() ? value() : std::move(fallback); }
    const E& error() const { return std::get<E>(value_); }

private:
    std::variant<T, E> value_;
};
