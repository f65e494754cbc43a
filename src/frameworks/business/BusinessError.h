#pragma once

#include <QString>

#include <optional>
#include <variant>

// The error kinds the business framework reports; callers tell them apart by `kind`.
struct BusinessError {
    enum class Kind {
        noConnection,
        timeout,
        invalidSession,
        generic,        // carries `message`
        api,            // wraps the REST client's error code in `apiCode`
        notFound,
        alreadyExists,
        invalidCredentials,
        storage,        // the local or remote store could not be written
    };

    Kind kind = Kind::generic;
    QString message;
    std::optional<int> apiCode;

    static BusinessError make(Kind kind, QString message = {}) { return {kind, std::move(message), std::nullopt}; }
    static BusinessError genericError(QString message) { return make(Kind::generic, std::move(message)); }

    bool operator==(const BusinessError&) const = default;
};

// A completion's outcome: success, or the error.
template <typename T>
class BusinessResult {
public:
    BusinessResult(T value) : value_(std::move(value)) {}
    BusinessResult(BusinessError error) : value_(std::move(error)) {}
    bool isSuccess() const { return std::holds_alternative<T>(value_); }
    const T& value() const { return std::get<T>(value_); }
    const BusinessError& error() const { return std::get<BusinessError>(value_); }

private:
    std::variant<T, BusinessError> value_;
};

struct Success {};
using VoidResult = BusinessResult<Success>;
