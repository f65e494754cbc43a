#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "frameworks/api/APIError.h"
#include "frameworks/common/Result.h"

// Failures of an upload, nested in a business error.
enum class UploadError {
    unexpectedSituation,  // carries a plain value
    underlying,           // carries an optional error text
    alreadyAdded,
    notFound,
    cancelled,
    invalidStatus,
    unknown,
};

// The error kinds the business framework reports, in its declaration order: first the kinds that
// carry a value, then those that carry none. Callers tell them apart by `kind`.
struct BusinessError {
    enum class Kind {
        // carrying a value
        unexpectedStatus,        // plain value
        api,                     // `apiError`
        invalidData,             // plain value
        formatError,             // plain value
        unableToDownload,        // optional text
        unableToSave,            // plain value
        setup,                   // optional text
        setupFailed,             // plain value
        cryptoError,             // optional text
        generic,                 // optional text: a message
        unfulfilledRequirement,  // optional text
        upload,                  // `uploadError`
        internalError,           // plain value
        // carrying nothing
        directoryNameEmpty,
        directoryUnknown,
        noConnection,
        insufficientLocalStorage,
        invalidSession,
        timeout,
        passwordNeeded,
        notSupported,
        unavailableFeatureForEncryptedItem,
        unknown,
        cancelled,
        contactsAccessDenied,
        photosAccessDenied,
        calendarsAccessDenied,
        // Ours: the desktop's keyring, where the session is kept, is locked or does not answer.
        keychainUnavailable,
    };

    Kind kind = Kind::generic;
    QString message;                  // the optional text of the kinds that carry one
    std::optional<APIError> apiError;
    std::optional<UploadError> uploadError;
    std::int64_t value = 0;           // the plain value of the kinds that carry one

    static BusinessError make(Kind kind, QString message = {}) {
        BusinessError e;
        e.kind = kind;
        e.message = std::move(message);
        return e;
    }
    static BusinessError genericError(QString message) { return make(Kind::generic, std::move(message)); }
    static BusinessError api(APIError error, QString message = {}) {
        BusinessError e = make(Kind::api, std::move(message));
        e.apiError = error;
        return e;
    }
    static BusinessError upload(UploadError error) {
        BusinessError e = make(Kind::upload);
        e.uploadError = error;
        return e;
    }

    bool operator==(const BusinessError&) const = default;
};

// A completion's outcome: success, or the error.
template <typename T>
using BusinessResult = Result<T, BusinessError>;

struct Success {};
using VoidResult = BusinessResult<Success>;
