#pragma once

#include <QString>

#include <variant>

#include "frameworks/business/BusinessError.h"

enum class QuotaError { quotaUnavailable, invalidUser };
enum class BackupError { notEnoughQuota, notEnoughFreeSpace };
enum class StoreError { invalidRootNode };
enum class RestoreError { incompleteRestore };

// An error of any other origin, held as it came: its textual description.
struct UnknownError {
    QString description;
    bool operator==(const UnknownError&) const = default;
};

// The one error type every completion toward the user interface carries. Classifying sorts any
// incoming error into a case and decides whether a business error is one the user can act on.
class AppError {
public:
    enum class Case {
        notHandledBusinessError,
        handledBusinessError,
        quotaError,
        backupError,
        unknown,
        selectiveSyncError,
        restoreError,
    };

    // Classification; never fails.
    AppError(const BusinessError& error);
    AppError(QuotaError error);
    AppError(StoreError error);
    AppError(BackupError error);
    AppError(RestoreError error);
    AppError(UnknownError error);

    Case errorCase() const { return case_; }
    const BusinessError* businessError() const { return std::get_if<BusinessError>(&payload_); }
    const QuotaError* quotaError() const { return std::get_if<QuotaError>(&payload_); }
    const StoreError* storeError() const { return std::get_if<StoreError>(&payload_); }
    const BackupError* backupError() const { return std::get_if<BackupError>(&payload_); }
    const RestoreError* restoreError() const { return std::get_if<RestoreError>(&payload_); }
    const UnknownError* unknownError() const { return std::get_if<UnknownError>(&payload_); }

    // Whether a business error of this kind has texts of its own the user can act on.
    static bool isHandled(BusinessError::Kind kind);

    bool operator==(const AppError&) const = default;

private:
    Case case_;
    std::variant<BusinessError, QuotaError, StoreError, BackupError, RestoreError, UnknownError> payload_;
};

// Shows a handled error in an application-modal alert, or only logs one the user cannot act on.
// Main thread only.
void presentError(const AppError& error);
