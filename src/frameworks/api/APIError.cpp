#include "frameworks/api/APIError.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<APIError, const char*>, 24> kCodes{{
    {APIError::invalidURL, "invalidURL"},
    {APIError::invalidResponse, "invalidResponse"},
    {APIError::network, "network"},
    {APIError::badRequest, "badRequest"},
    {APIError::unauthorized, "unauthorized"},
    {APIError::forbidden, "forbidden"},
    {APIError::notFound, "notFound"},
    {APIError::conflict, "conflict"},
    {APIError::gone, "gone"},
    {APIError::requestEntityTooLarge, "requestEntityTooLarge"},
    {APIError::unsupportedMediaType, "unsupportedMediaType"},
    {APIError::requestedRangeNotSatisfiable, "requestedRangeNotSatisfiable"},
    {APIError::unprocessableEntity, "unprocessableEntity"},
    {APIError::serverError, "serverError"},
    {APIError::badGateway, "badGateway"},
    {APIError::serviceUnavailable, "serviceUnavailable"},
    {APIError::gatewayTimeout, "gatewayTimeout"},
    {APIError::insufficientStorage, "insufficientStorage"},
    {APIError::unknown, "unknown"},
    {APIError::unexpectedStatusCode, "unexpectedStatusCode"},
    {APIError::decodingFailed, "decodingFailed"},
    {APIError::noLongerAuthorized, "noLongerAuthorized"},
    {APIError::notAuthorized, "notAuthorized"},
    {APIError::invalidRequest, "invalidRequest"},
}};

constexpr std::array<std::pair<int, APIError>, 15> kStatuses{{
    {400, APIError::badRequest},
    {401, APIError::unauthorized},
    {403, APIError::forbidden},
    {404, APIError::notFound},
    {409, APIError::conflict},
    {410, APIError::gone},
    {413, APIError::requestEntityTooLarge},
    {415, APIError::unsupportedMediaType},
    {416, APIError::requestedRangeNotSatisfiable},
    {422, APIError::unprocessableEntity},
    {500, APIError::serverError},
    {502, APIError::badGateway},
    {503, APIError::serviceUnavailable},
    {504, APIError::gatewayTimeout},
    {507, APIError::insufficientStorage},
}};

}  // namespace

QString apiErrorCode(APIError error) {
    for (const auto& [kind, code] : kCodes)
        if (kind == error) return QString::fromLatin1(code);
    return QStringLiteral("unknown");
}

std::optional<APIError> apiErrorFromCode(const QString& code) {
    for (const auto& [kind, text] : kCodes)
        if (code == QLatin1String(text)) return kind;
    return std::nullopt;
}

std::optional<APIError> apiErrorFromHttpStatus(int status) {
    if (status >= 100 && status < 400) return std::nullopt;
    for (const auto& [known, kind] : kStatuses)
        if (known == status) return kind;
    return APIError::unexpectedStatusCode;
}
