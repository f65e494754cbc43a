#include <gtest/gtest.h>

#include <QHash>

#include <ostream>
#include <QStringList>

#include <mutex>
#include <optional>
#include <vector>

#include "app/common/LogChannels.h"
#include "app/core/AppError.h"
#include "frameworks/logger/LogLevel.h"
#include "frameworks/logger/Logger.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/Bundle.h"

QByteArray localizableStrings();

// Readable failure messages.
static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
static void PrintTo(const LocalizedErrorTexts& t, std::ostream* os) {
    *os << "{" << t.description.toStdString() << " | " << t.failureReason.toStdString() << " | "
        << t.recoverySuggestion.toStdString() << "}";
}

namespace {

using Kind = BusinessError::Kind;

BusinessError withValue(Kind kind, std::int64_t value, QString message = {}) {
    BusinessError e = BusinessError::make(kind, std::move(message));
    e.value = value;
    return e;
}

BusinessError uploadWith(UploadError kind, std::int64_t value, QString message) {
    BusinessError e = BusinessError::upload(kind);
    e.value = value;
    e.message = std::move(message);
    return e;
}

TEST(AppErrorTest, ClassifiesEveryOtherTypeIntoItsCase) {
    struct Case {
        const char* name;
        AppError error;
        AppError::Case expected;
    };
    const std::vector<Case> cases = {
        {"quota unavailable", AppError(QuotaError::quotaUnavailable), AppError::Case::quotaError},
        {"invalid user", AppError(QuotaError::invalidUser), AppError::Case::quotaError},
        {"store", AppError(StoreError::invalidRootNode), AppError::Case::selectiveSyncError},
        {"not enough quota", AppError(BackupError::notEnoughQuota), AppError::Case::backupError},
        {"not enough free space", AppError(BackupError::notEnoughFreeSpace), AppError::Case::backupError},
        {"restore", AppError(RestoreError::incompleteRestore), AppError::Case::restoreError},
        {"file system", AppError(UnknownError{QStringLiteral("No such file or directory")}), AppError::Case::unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.error.errorCase(), c.expected);
        EXPECT_EQ(c.error.businessError(), nullptr);
    }
    EXPECT_EQ(*AppError(QuotaError::invalidUser).quotaError(), QuotaError::invalidUser);
    EXPECT_EQ(*AppError(BackupError::notEnoughFreeSpace).backupError(), BackupError::notEnoughFreeSpace);
    EXPECT_EQ(AppError(UnknownError{QStringLiteral("x")}).unknownError()->description, QStringLiteral("x"));
    EXPECT_NE(AppError(QuotaError::invalidUser), AppError(QuotaError::quotaUnavailable));
}

// Names in the framework's order; a wrong or shifted name would mislead whoever reads the log.
const std::vector<const char*> kKindNames = {
    "unexpectedStatus", "api", "invalidData", "formatError", "unableToDownload", "unableToSave", "setup",
    "setupFailed", "cryptoError", "generic", "unfulfilledRequirement", "upload", "internalError",
    "directoryNameEmpty", "directoryUnknown", "noConnection", "insufficientLocalStorage", "invalidSession",
    "timeout", "passwordNeeded", "notSupported", "unavailableFeatureForEncryptedItem", "unknown", "cancelled",
    "contactsAccessDenied", "photosAccessDenied", "calendarsAccessDenied", "keychainUnavailable",
};

TEST(AppErrorTest, EveryBusinessKindIsNamedInItsDescription) {
    ASSERT_EQ(kKindNames.size(), 28u);
    for (std::size_t i = 0; i < kKindNames.size(); ++i) {
        SCOPED_TRACE(kKindNames[i]);
        const QString text = textualDescription(BusinessError::make(static_cast<Kind>(i)));
        const QString expected = QStringLiteral("BusinessError.") + QLatin1String(kKindNames[i]);
        EXPECT_TRUE(text == expected || text.startsWith(expected + u'(')) << text.toStdString();
    }
}

TEST(AppErrorTest, TextualDescriptions) {
    struct Case {
        QString text;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {textualDescription(BusinessError::make(Kind::noConnection)), "BusinessError.noConnection"},
        {textualDescription(BusinessError::api(APIError::notFound)), "BusinessError.api(APIError.notFound)"},
        {textualDescription(BusinessError::api(APIError::forbidden, QStringLiteral("no \"way\"\nout\\"))),
         "BusinessError.api(APIError.forbidden(\"no \\\"way\\\"\\nout\\\\\"))"},
        {textualDescription(BusinessError::make(Kind::api)), "BusinessError.api"},
        {textualDescription(BusinessError::upload(UploadError::alreadyAdded)),
         "BusinessError.upload(UploadError.alreadyAdded)"},
        {textualDescription(uploadWith(UploadError::unexpectedSituation, 3, {})),
         "BusinessError.upload(UploadError.unexpectedSituation(3))"},
        {textualDescription(uploadWith(UploadError::underlying, 0, QStringLiteral("disk full"))),
         "BusinessError.upload(UploadError.underlying(\"disk full\"))"},
        {textualDescription(uploadWith(UploadError::invalidStatus, 9, QStringLiteral("ignored"))),
         "BusinessError.upload(UploadError.invalidStatus)"},
        {textualDescription(withValue(Kind::unableToSave, -5)), "BusinessError.unableToSave(-5)"},
        {textualDescription(withValue(Kind::unexpectedStatus, 418)), "BusinessError.unexpectedStatus(418)"},
        {textualDescription(BusinessError::make(Kind::setup)), "BusinessError.setup"},
        {textualDescription(BusinessError::genericError(QStringLiteral("boom"))), "BusinessError.generic(\"boom\")"},
        {textualDescription(withValue(Kind::timeout, 7, QStringLiteral("ignored"))), "BusinessError.timeout"},
        {textualDescription(UploadError::cancelled), "UploadError.cancelled"},
        {textualDescription(QuotaError::quotaUnavailable), "QuotaError.quotaUnavailable"},
        {textualDescription(QuotaError::invalidUser), "QuotaError.invalidUser"},
        {textualDescription(BackupError::notEnoughQuota), "BackupError.notEnoughQuota"},
        {textualDescription(BackupError::notEnoughFreeSpace), "BackupError.notEnoughFreeSpace"},
        {textualDescription(StoreError::invalidRootNode), "StoreError.invalidRootNode"},
        {textualDescription(RestoreError::incompleteRestore), "RestoreError.incompleteRestore"},
        {AppError(QuotaError::invalidUser).textualDescription(), "AppError.quotaError(QuotaError.invalidUser)"},
        {AppError(BusinessError::make(Kind::cancelled)).textualDescription(),
         "AppError.notHandledBusinessError(BusinessError.cancelled)"},
        {AppError(BusinessError::make(Kind::timeout)).textualDescription(),
         "AppError.handledBusinessError(BusinessError.timeout)"},
        {AppError(UnknownError{QStringLiteral("Permission denied")}).textualDescription(),
         "AppError.unknown(Permission denied)"},
        {AppError(RestoreError::incompleteRestore).textualDescription(),
         "AppError.restoreError(RestoreError.incompleteRestore)"},
        {AppError(StoreError::invalidRootNode).textualDescription(),
         "AppError.selectiveSyncError(StoreError.invalidRootNode)"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, QString::fromUtf8(c.expected));
}

// Records the alerts (answered at once) and the "Framework" entries while a test runs. The
// strings table is emptied so that every alert text names the key it came from.
class PresentErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bundle::main().setStringsTable({}, {});
        Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
        Alert::clearShownAlerts();
        consoleWasOn_ = Logger::isConsoleOutputEnabled();
        Logger::setConsoleOutputEnabled(false);
        verbosity_ = AppLog::framework().verbosity();
        AppLog::framework().setVerbosity(LogVerbosity::debug);
        sink_ = Logger::addSink([this](const LogEntry& entry) {
            std::lock_guard lock(mutex_);
            entries_.push_back(entry);
        });
    }
    void TearDown() override {
        Logger::removeSink(sink_);
        AppLog::framework().setVerbosity(verbosity_);
        Logger::setConsoleOutputEnabled(consoleWasOn_);
        Alert::setResponder({});
        Alert::clearShownAlerts();
        Bundle::main().setStringsTable({}, Bundle::parseStrings(localizableStrings()));
    }
    std::vector<LogEntry> entries() {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    void clearEntries() {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<LogEntry> entries_;
    Logger::SinkId sink_ = 0;
    int verbosity_ = 0;
    bool consoleWasOn_ = true;
};

struct PresentCase {
    const char* name;
    AppError error;
    // Either an alert with these texts, or exactly this log line.
    const char* message = nullptr;
    const char* informative = nullptr;
    const char* logLine = nullptr;
};

std::vector<PresentCase> presentCases() {
    return {
        {"handled business error", AppError(BusinessError::make(Kind::noConnection)),
         "Error.Business.NoConnection.Description", "Error.Business.NoConnection.RecoverySuggestion"},
        {"api error with generic texts", AppError(BusinessError::api(APIError::unauthorized, QStringLiteral("expired"))),
         "Error.API.Generic.Description", "Error.API.Generic.RecoverySuggestion"},
        {"upload error", AppError(BusinessError::upload(UploadError::notFound)), "Error.Upload.NotFound.Description",
         "Error.Upload.NotFound.RecoverySuggestion"},
        {"disk full", AppError(BusinessError::make(Kind::insufficientLocalStorage)),
         "Error.Sync.InsufficientLocalStorage.Description", "Error.Sync.InsufficientLocalStorage.RecoverySuggestion"},
        {"photos", AppError(BusinessError::make(Kind::photosAccessDenied)), "Error.Business.PhotosAccessDenied.Description",
         "Error.Business.PhotosAccessDenied.RecoverySuggestion"},
        // No description: the reason stands in rather than an alert without a message.
        {"not authorized", AppError(BusinessError::api(APIError::notAuthorized)), "Error.API.Generic.FailureReason", ""},
        {"selective-sync store", AppError(StoreError::invalidRootNode), "Error.Store.InvalidRootNode.Description",
         "Error.Store.InvalidRootNode.RecoverySuggestion"},
        {"restore", AppError(RestoreError::incompleteRestore), "BackupRestore.Alert.RestoreIncompleteMessage",
         "BackupRestore.Alert.RestoreIncompleteInformative"},
        {"generic business error", AppError(BusinessError::genericError(QStringLiteral("boom"))), nullptr, nullptr,
         "Received business error that can’t be handled by the user: BusinessError.generic(\"boom\")"},
        {"invalid session", AppError(BusinessError::make(Kind::invalidSession)), nullptr, nullptr,
         "Received business error that can’t be handled by the user: BusinessError.invalidSession"},
        {"internal error", AppError(withValue(Kind::internalError, 12)), nullptr, nullptr,
         "Received business error that can’t be handled by the user: BusinessError.internalError(12)"},
        {"quota unavailable", AppError(QuotaError::quotaUnavailable), nullptr, nullptr,
         "Received quota error that can’t be handled by the user: QuotaError.quotaUnavailable"},
        {"invalid user", AppError(QuotaError::invalidUser), nullptr, nullptr,
         "Received quota error that can’t be handled by the user: QuotaError.invalidUser"},
        {"not enough quota", AppError(BackupError::notEnoughQuota), nullptr, nullptr,
         "Received backup error BackupError.notEnoughQuota"},
        {"not enough free space", AppError(BackupError::notEnoughFreeSpace), nullptr, nullptr,
         "Received backup error BackupError.notEnoughFreeSpace"},
        {"file-system error", AppError(UnknownError{QStringLiteral("The file “a.txt” couldn’t be opened.")}), nullptr,
         nullptr, "Caught unknown error: The file “a.txt” couldn’t be opened."},
    };
}

TEST_F(PresentErrorTest, AlertsForWhatTheUserCanActOnAndLogsTheRest) {
    for (const PresentCase& c : presentCases()) {
        SCOPED_TRACE(c.name);
        Alert::clearShownAlerts();
        clearEntries();
        presentError(c.error);
        const auto alerts = Alert::shownAlerts();
        const auto logged = entries();
        if (c.message) {
            ASSERT_EQ(alerts.size(), 1u);
            EXPECT_EQ(alerts[0].messageText(), QString::fromUtf8(c.message));
            EXPECT_EQ(alerts[0].informativeText(), QString::fromUtf8(c.informative));
            // Acknowledgement only.
            EXPECT_EQ(alerts[0].buttons().size(), 1u);
            EXPECT_TRUE(logged.empty());
            EXPECT_EQ(c.error.logMessage(), std::nullopt);
        } else {
            EXPECT_TRUE(alerts.empty());
            ASSERT_EQ(logged.size(), 1u);
            EXPECT_EQ(logged[0].channel, QStringLiteral("Framework"));
            EXPECT_EQ(logged[0].level, LogLevel::error);
            EXPECT_EQ(logged[0].message, QString::fromUtf8(c.logLine));
            EXPECT_EQ(c.error.presentedTexts(), std::nullopt);
        }
    }
}

// The typographic apostrophe, not the typewriter one, in the log texts.
TEST_F(PresentErrorTest, LogTextsUseTheTypographicApostrophe) {
    presentError(AppError(QuotaError::invalidUser));
    const auto logged = entries();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_TRUE(logged[0].message.contains(QChar(0x2019)));
    EXPECT_FALSE(logged[0].message.contains(QLatin1Char('\'')));
}

TEST_F(PresentErrorTest, AlertShowsTheShippedTexts) {
    const QHash<QString, QString> shipped = Bundle::parseStrings(localizableStrings());
    Bundle::main().setStringsTable({}, shipped);
    presentError(AppError(StoreError::invalidRootNode));
    const auto alerts = Alert::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), shipped.value(QStringLiteral("Error.Store.InvalidRootNode.Description")));
    EXPECT_EQ(alerts[0].informativeText(), shipped.value(QStringLiteral("Error.Store.InvalidRootNode.RecoverySuggestion")));
    EXPECT_FALSE(alerts[0].messageText().isEmpty());
}

}  // namespace
