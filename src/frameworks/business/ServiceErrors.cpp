#include "frameworks/business/ServiceErrors.h"

BusinessError businessError(const ServiceFailure& failure) {
    using Kind = BusinessError::Kind;
    switch (failure.error) {
    case ServiceError::noConnection: return BusinessError::make(Kind::noConnection);
    case ServiceError::timeout: return BusinessError::make(Kind::timeout);
    case ServiceError::invalidSession: return BusinessError::make(Kind::invalidSession);
    case ServiceError::wrongCredentials: return BusinessError::api(APIError::unauthorized, failure.message);
    case ServiceError::invalidUserName:
    case ServiceError::invalidMailAddress:
    case ServiceError::invalidPassword: return BusinessError::api(APIError::unprocessableEntity, failure.message);
    case ServiceError::userExists: return BusinessError::api(APIError::conflict, failure.message);
    case ServiceError::notFound: return BusinessError::api(APIError::notFound, failure.message);
    case ServiceError::storageFailure: return BusinessError::api(APIError::serverError, failure.message);
    }
    return BusinessError::make(Kind::unknown, failure.message);
}
