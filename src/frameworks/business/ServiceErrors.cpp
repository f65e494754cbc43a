#include "frameworks/business/ServiceErrors.h"

BusinessError businessError(const ServiceFailure& failure) {
    using Kind = BusinessError::Kind;
    switch (failure.error) {
    // Why it cannot be reached travels along: an untrusted certificate is not a network down.
    case ServiceError::noConnection: return BusinessError::make(Kind::noConnection, failure.message);
    case ServiceError::timeout: return BusinessError::make(Kind::timeout);
    case ServiceError::invalidSession: return BusinessError::make(Kind::invalidSession);
    case ServiceError::wrongCredentials: return BusinessError::api(APIError::unauthorized, failure.message);
    case ServiceError::invalidUserName:
    case ServiceError::invalidMailAddress:
    case ServiceError::invalidPassword: return BusinessError::api(APIError::unprocessableEntity, failure.message);
    case ServiceError::userExists: return BusinessError::api(APIError::conflict, failure.message);
    case ServiceError::notFound: return BusinessError::api(APIError::notFound, failure.message);
    case ServiceError::storageFailure: return BusinessError::api(APIError::serverError, failure.message);
    case ServiceError::invalidRequest:
    case ServiceError::invalidPath: return BusinessError::api(APIError::badRequest, failure.message);
    case ServiceError::invalidClient: return BusinessError::api(APIError::unauthorized, failure.message);
    case ServiceError::revisionMismatch:
    case ServiceError::exists:
    case ServiceError::notEmpty:
    case ServiceError::notAFolder:
    case ServiceError::uploadOffset: return BusinessError::api(APIError::conflict, failure.message);
    case ServiceError::readOnly: return BusinessError::api(APIError::forbidden, failure.message);
    case ServiceError::insufficientStorage: return BusinessError::api(APIError::insufficientStorage, failure.message);
    case ServiceError::tooLarge: return BusinessError::api(APIError::requestEntityTooLarge, failure.message);
    case ServiceError::hashMismatch: return BusinessError::api(APIError::unprocessableEntity, failure.message);
    case ServiceError::rateLimited:
    case ServiceError::unavailable: return BusinessError::api(APIError::serviceUnavailable, failure.message);
    }
    return BusinessError::make(Kind::unknown, failure.message);
}
