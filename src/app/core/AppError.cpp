#include "app/core/AppError.h"

#include <array>

#include "app/common/LocalizationController.h"
#include "app/common/LogChannels.h"
#include "frameworks/logger/LogChannel.h"
#include "platform/appkit/Alert.h"

namespace {

using Kind = BusinessError::Kind;

// What a business kind carries, for its textual description.
enum class Carries { nothing, plainValue, text, nested };

struct KindName {
    Kind kind;
    const char* name;
    Carries carries;
};

constexpr std::array<KindName, 28> kKindNames{{
    {Kind::unexpectedStatus, "unexpectedStatus", Carries::plainValue},
    {Kind::api, "api", Carries::nested},
    {Kind::invalidData, "invalidData", Carries::plainValue},
    {Kind::formatError, "formatError", Carries::plainValue},
    {Kind::unableToDownload, "unableToDownload", Carries::text},
    {Kind::unableToSave, "unableToSave", Carries::plainValue},
    {Kind::setup, "setup", Carries::text},
    {Kind::setupFailed, "setupFailed", Carries::plainValue},
    {Kind::cryptoError, "cryptoError", Carries::text},
    {Kind::generic, "generic", Carries::text},
    {Kind::unfulfilledRequirement, "unfulfilledRequirement", Carries::text},
    {Kind::upload, "upload", Carries::nested},
    {Kind::internalError, "internalError", Carries::plainValue},
    {Kind::directoryNameEmpty, "directoryNameEmpty", Carries::nothing},
    {Kind::directoryUnknown, "directoryUnknown", Carries::nothing},
    {Kind::noConnection, "noConnection", Carries::nothing},
    {Kind::insufficientLocalStorage, "insufficientLocalStorage", Carries::nothing},
    {Kind::invalidSession, "invalidSession", Carries::nothing},
    {Kind::timeout, "timeout", Carries::nothing},
    {Kind::passwordNeeded, "passwordNeeded", Carries::nothing},
    {Kind::notSupported, "notSupported", Carries::nothing},
    {Kind::unavailableFeatureForEncryptedItem, "unavailableFeatureForEncryptedItem", Carries::nothing},
    {Kind::unknown, "unknown", Carries::nothing},
    {Kind::cancelled, "cancelled", Carries::nothing},
    {Kind::contactsAccessDenied, "contactsAccessDenied", Carries::nothing},
    {Kind::photosAccessDenied, "photosAccessDenied", Carries::nothing},
    {Kind::calendarsAccessDenied, "calendarsAccessDenied", Carries::nothing},
    {Kind::keychainUnavailable, "keychainUnavailable", Carries::nothing},
}};

constexpr bool kindNamesInOrder() {
    for (std::size_t i = 0; i < kKindNames.size(); ++i)
        if (static_cast<std::size_t>(kKindNames[i].kind) != i) return false;
    return true;
}
static_assert(kindNamesInOrder());
static_assert(static_cast<std::size_t>(Kind::keychainUnavailable) + 1 == kKindNames.size());

constexpr std::array<const char*, 7> kUploadNames{
    "unexpectedSituation", "underlying", "alreadyAdded", "notFound", "cancelled", "invalidStatus", "unknown",
};
static_assert(static_cast<std::size_t>(UploadError::unknown) + 1 == kUploadNames.size());

// A carried text in quotes, escaped so that a log entry stays on one line.
QString quoted(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '"': out += QStringLiteral("\\\""); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default: out += c;
        }
    }
    return out + u'"';
}

// "(\"text\")" for a carried text, nothing when there is none.
QString textSuffix(const QString& text) { return text.isEmpty() ? QString() : u'(' + quoted(text) + u')'; }

QString plainSuffix(std::int64_t value) { return u'(' + QString::number(value) + u')'; }

QString nestedUploadDescription(const BusinessError& error) {
    const UploadError upload = *error.uploadError;
    QString out = textualDescription(upload);
    if (upload == UploadError::unexpectedSituation) out += plainSuffix(error.value);
    else if (upload == UploadError::underlying) out += textSuffix(error.message);
    return out;
}

QString caseName(AppError::Case errorCase) {
    switch (errorCase) {
    case AppError::Case::notHandledBusinessError: return QStringLiteral("notHandledBusinessError");
    case AppError::Case::handledBusinessError: return QStringLiteral("handledBusinessError");
    case AppError::Case::quotaError: return QStringLiteral("quotaError");
    case AppError::Case::backupError: return QStringLiteral("backupError");
    case AppError::Case::unknown: return QStringLiteral("unknown");
    case AppError::Case::selectiveSyncError: return QStringLiteral("selectiveSyncError");
    case AppError::Case::restoreError: return QStringLiteral("restoreError");
    }
    return QStringLiteral("unknown");
}

}  // namespace

bool AppError::isHandled(BusinessError::Kind kind) { return !hasOnlyGenericTexts(kind); }

AppError::AppError(const BusinessError& error)
    : case_(isHandled(error.kind) ? Case::handledBusinessError : Case::notHandledBusinessError), payload_(error) {}
AppError::AppError(QuotaError error) : case_(Case::quotaError), payload_(error) {}
AppError::AppError(StoreError error) : case_(Case::selectiveSyncError), payload_(error) {}
AppError::AppError(BackupError error) : case_(Case::backupError), payload_(error) {}
AppError::AppError(RestoreError error) : case_(Case::restoreError), payload_(error) {}
AppError::AppError(UnknownError error) : case_(Case::unknown), payload_(std::move(error)) {}

std::optional<LocalizedErrorTexts> AppError::presentedTexts() const {
    switch (case_) {
    case Case::handledBusinessError:
        if (const BusinessError* error = businessError()) return localizedTexts(*error);
        return std::nullopt;
    case Case::selectiveSyncError: {
        const LocalizationController localizationController;
        return LocalizedErrorTexts{localizationController.erStoInvalidRootNodeDescription(),
                                   localizationController.erStoInvalidRootNodeFailureReason(),
                                   localizationController.erStoInvalidRootNodeRecoverySuggestion()};
    }
    case Case::restoreError: {
        const LocalizationController localizationController;
        return LocalizedErrorTexts{localizationController.syAlertRestoreIncompleteMessage(), QString(),
                                   localizationController.syAlertRestoreIncompleteInformative()};
    }
    case Case::notHandledBusinessError:
    case Case::quotaError:
    case Case::backupError:
    case Case::unknown: break;
    }
    return std::nullopt;
}

std::optional<QString> AppError::logMessage() const {
    switch (case_) {
    case Case::notHandledBusinessError:
        return QStringLiteral("Received business error that can\u2019t be handled by the user: ") +
               ::textualDescription(*businessError());
    case Case::quotaError:
        return QStringLiteral("Received quota error that can\u2019t be handled by the user: ") +
               ::textualDescription(*quotaError());
    case Case::backupError: return QStringLiteral("Received backup error ") + ::textualDescription(*backupError());
    case Case::unknown: return QStringLiteral("Caught unknown error: ") + ::textualDescription(*unknownError());
    case Case::handledBusinessError:
    case Case::selectiveSyncError:
    case Case::restoreError: break;
    }
    return std::nullopt;
}

QString AppError::textualDescription() const {
    const QString payload = std::visit([](const auto& value) { return ::textualDescription(value); }, payload_);
    return QStringLiteral("AppError.") + caseName(case_) + u'(' + payload + u')';
}

QString textualDescription(const BusinessError& error) {
    const auto index = static_cast<std::size_t>(error.kind);
    if (index >= kKindNames.size()) return QStringLiteral("BusinessError.(unknown kind %1)").arg(index);
    const KindName& entry = kKindNames[index];
    QString out = QStringLiteral("BusinessError.") + QLatin1String(entry.name);
    switch (entry.carries) {
    case Carries::nothing: break;
    case Carries::plainValue: out += plainSuffix(error.value); break;
    case Carries::text: out += textSuffix(error.message); break;
    case Carries::nested:
        if (error.kind == Kind::api && error.apiError)
            out += u'(' + QStringLiteral("APIError.") + apiErrorCode(*error.apiError) + textSuffix(error.message) + u')';
        else if (error.kind == Kind::upload && error.uploadError)
            out += u'(' + nestedUploadDescription(error) + u')';
        break;
    }
    return out;
}

QString textualDescription(UploadError error) {
    const auto index = static_cast<std::size_t>(error);
    return QStringLiteral("UploadError.") +
           (index < kUploadNames.size() ? QLatin1String(kUploadNames[index]) : QLatin1String("(unknown kind)"));
}

QString textualDescription(QuotaError error) {
    switch (error) {
    case QuotaError::quotaUnavailable: return QStringLiteral("QuotaError.quotaUnavailable");
    case QuotaError::invalidUser: return QStringLiteral("QuotaError.invalidUser");
    }
    return QStringLiteral("QuotaError.(unknown kind)");
}

QString textualDescription(BackupError error) {
    switch (error) {
    case BackupError::notEnoughQuota: return QStringLiteral("BackupError.notEnoughQuota");
    case BackupError::notEnoughFreeSpace: return QStringLiteral("BackupError.notEnoughFreeSpace");
    case BackupError::restoreInProgress: return QStringLiteral("BackupError.restoreInProgress");
    }
    return QStringLiteral("BackupError.(unknown kind)");
}

QString textualDescription(StoreError error) {
    switch (error) {
    case StoreError::invalidRootNode: return QStringLiteral("StoreError.invalidRootNode");
    }
    return QStringLiteral("StoreError.(unknown kind)");
}

QString textualDescription(RestoreError error) {
    switch (error) {
    case RestoreError::incompleteRestore: return QStringLiteral("RestoreError.incompleteRestore");
    }
    return QStringLiteral("RestoreError.(unknown kind)");
}

QString textualDescription(const UnknownError& error) { return error.description; }

void presentError(const AppError& error) {
    if (const auto texts = error.presentedTexts()) {
        Alert alert;
        // An alert without any message would tell the user nothing; the reason stands in.
        alert.setMessageText(texts->description.isEmpty() ? texts->failureReason : texts->description);
        alert.setInformativeText(texts->recoverySuggestion);
        alert.runModal();
        return;
    }
    if (const auto line = error.logMessage()) OVLOG_ERROR(AppLog::framework(), *line);
}
