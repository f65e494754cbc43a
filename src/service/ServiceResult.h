#pragma once

#include <QString>

#include <utility>

#include "frameworks/common/Result.h"

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

// The outcome of a service call: the value, or the failure. Callers mostly branch on the error
// alone, so error() gives the code and failure() the code with its detail.
template <typename T>
class ServiceResult : public Result<T, ServiceFailure> {
    using Base = Result<T, ServiceFailure>;

public:
    using Base::Base;
    ServiceResult(ServiceError error, QString message = {}) : Base(ServiceFailure{error, std::move(message)}) {}

    const ServiceFailure& failure() const { return Base::error(); }
    ServiceError error() const { return failure().error; }
};
