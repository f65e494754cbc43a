#pragma once

#include <QString>

#include <utility>
#include <variant>

// Why a call to the storage service failed.
enum class ServiceError {
    noConnection,        // the service cannot be reached
    timeout,             // the service stayed busy too long
    invalidUserName,
    invalidMailAddress,
    invalidPassword,
    userExists,
    wrongCredentials,    // unknown user or wrong password; the two are not told apart
    invalidSession,      // unknown, revoked or expired session
    notFound,
    storageFailure,      // the service's own files could not be read or written
};

// A failure with a short English detail for whoever shows it.
struct ServiceFailure {
    ServiceError error = ServiceError::storageFailure;
    QString message;
    bool operator==(const ServiceFailure&) const = default;
};

struct ServiceDone {
    bool operator==(const ServiceDone&) const = default;
};

// The outcome of a service call: the value, or the failure.
template <typename T>
class ServiceResult {
public:
    ServiceResult(T value) : value_(std::move(value)) {}
    ServiceResult(ServiceFailure failure) : value_(std::move(failure)) {}
    ServiceResult(ServiceError error, QString message = {}) : value_(ServiceFailure{error, std::move(message)}) {}

    bool isSuccess() const { return std::holds_alternative<T>(value_); }
    explicit operator bool() const { return isSuccess(); }
    const T& value() const { return std::get<T>(value_); }
    T& value() { return std::get<T>(value_); }
    const ServiceFailure& failure() const { return std::get<ServiceFailure>(value_); }
    ServiceError error() const { return failure().error; }

private:
    std::variant<T, ServiceFailure> value_;
};
