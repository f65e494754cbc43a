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
    // Said by the service on the network (see ServiceWire for their codes and statuses).
    invalidRequest,      // a request the service cannot take as it is
    invalidClient,       // the client's own credentials are refused
    invalidPath,         // a user path that names nothing a tree can hold ("..", absolute, NUL, too long)
    revisionMismatch,    // the item is no longer the revision the caller last saw
    exists,              // something is in the way already
    notEmpty,            // a folder to remove still holds items
    notAFolder,          // a file or link stands where a folder is needed
    readOnly,
    insufficientStorage, // the account's quota (or the disk) has no room for it
    tooLarge,            // a request or its headers exceed what the service takes
    hashMismatch,        // an upload's bytes are not the ones announced
    uploadOffset,        // a chunk does not start where the upload stands
    rateLimited,         // too many attempts: try again later
    unavailable,         // the service is busy or going down: try again later
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
