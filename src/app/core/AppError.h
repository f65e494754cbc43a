#pragma once

#include <QString>

#include <optional>
#include <variant>

#include "app/core/BusinessErrorTexts.h"
#include "frameworks/business/BusinessError.h"

enum class QuotaError { quotaUnavailable, invalidUser };
// restoreInProgress: a backup is not started while a restore writes into the folders it reads.
enum class BackupError { notEnoughQuota, notEnoughFreeSpace, restoreInProgress };
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

    // Whether a business error of this kind has texts of its own the user can act on: every kind
    // but those whose three texts are all the generic business ones.
    static bool isHandled(BusinessError::Kind kind);

    // The texts of the alert for the cases that are shown (handled business errors, store and
    // restore errors); none for the cases that are only logged.
    std::optional<LocalizedErrorTexts> presentedTexts() const;
    // The log line of the cases that are only logged; none for those that are shown.
    std::optional<QString> logMessage() const;
    // For log lines, e.g. "AppError.quotaError(QuotaError.invalidUser)".
    QString textualDescription() const;

    bool operator==(const AppError&) const = default;

private:
    Case case_;
    std::variant<BusinessError, QuotaError, StoreError, BackupError, RestoreError, UnknownError> payload_;
};

// Textual descriptions for log lines: the type and the kind, with what the kind carries, e.g.
// "BusinessError.noConnection", "BusinessError.api(APIError.notFound)", "QuotaError.invalidUser".
QString textualDescription(const BusinessError& error);
QString textualDescription(UploadError error);
QString textualDescription(QuotaError error);
QString textualDescription(BackupError error);
QString textualDescription(StoreError error);
QString textualDescription(RestoreError error);
QString textualDescription(const UnknownError& error);

// Shows an error the user can act on in an application-modal alert (description as message,
// recovery suggestion as informative text), or writes one error line on the "Framework" channel
// for the rest. Main thread only.
void presentError(const AppError& error);
