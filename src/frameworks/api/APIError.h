#pragma once

#include <QString>

#include <optional>

// Failures reported by the REST client. Most mirror an HTTP status; the authorization kinds tell
// a rejected token (`unauthorized`), a revoked grant (`noLongerAuthorized`) and an account that
// may not use this client (`notAuthorized`) apart.
enum class APIError {
    invalidURL,
    invalidResponse,
    network,
    badRequest,
    unauthorized,
    forbidden,
    notFound,
    conflict,
    gone,
    requestEntityTooLarge,
    unsupportedMediaType,
    requestedRangeNotSatisfiable,
    unprocessableEntity,
    serverError,
    badGateway,
    serviceUnavailable,
    gatewayTimeout,
    insufficientStorage,
    unknown,
    unexpectedStatusCode,
    decodingFailed,
    noLongerAuthorized,
    notAuthorized,
    invalidRequest,
};

// Short stable code of a kind: its name, e.g. "notFound".
QString apiErrorCode(APIError error);

// The kind whose code is `code`; none for an unknown code.
std::optional<APIError> apiErrorFromCode(const QString& code);

// The kind an HTTP status stands for: none for 1xx to 3xx, `unexpectedStatusCode` for an error
// status without a kind of its own (and for anything outside 100..599).
std::optional<APIError> apiErrorFromHttpStatus(int status);
