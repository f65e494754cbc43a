#include <gtest/gtest.h>

#include <QHash>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>
#include <vector>

#include "app/common/LocalizationController.h"
#include "app/core/AppError.h"
#include "app/core/BusinessErrorTexts.h"
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

QHash<QString, QString> shippedStrings() { return Bundle::parseStrings(localizableStrings()); }

// With an empty strings table every getter answers its own key, so a text names the getter that
// gave it. Every test leaves the shipped table in place.
class BusinessErrorTextsTest : public ::testing::Test {
protected:
    void SetUp() override { Bundle::main().setStringsTable({}, {}); }
    void TearDown() override { Bundle::main().setStringsTable({}, shippedStrings()); }

    // The text the named getter gives; "" stands for the empty text without a getter.
    static QString textOf(const char* getter) {
        if (!*getter) return QString();
        const auto text = LocalizationController().text(QString::fromUtf8(getter));
        EXPECT_TRUE(text.has_value()) << "no getter named " << getter;
        return text.value_or(QStringLiteral("<missing getter>"));
    }

    static void expectTexts(const BusinessError& error, const char* d, const char* f, const char* r) {
        EXPECT_EQ(errorDescription(error), textOf(d));
        EXPECT_EQ(failureReason(error), textOf(f));
        EXPECT_EQ(recoverySuggestion(error), textOf(r));
        EXPECT_EQ(localizedTexts(error), (LocalizedErrorTexts{textOf(d), textOf(f), textOf(r)}));
    }
};

// The error with its values filled, to show that they play no part.
BusinessError withValues(Kind kind) {
    BusinessError e = BusinessError::make(kind, QStringLiteral("carried text"));
    e.value = 42;
    return e;
}

struct BusinessCase {
    const char* name;
    Kind kind;
    const char* description;
    const char* failureReason;
    const char* recoverySuggestion;
    bool handled;
};

#define GEN "erBusGenericDescription", "erBusGenericFailureReason", "erBusGenericRecoverySuggestion"
#define OWN(c) "erBus" c "Description", "erBus" c "FailureReason", "erBus" c "RecoverySuggestion"

// The nested kinds are covered with their own tables below; here with one representative each.
const std::vector<BusinessCase> kBusinessCases = {
    {"unexpectedStatus", Kind::unexpectedStatus, GEN, false},
    {"api", Kind::api, "erAPINotFoundDescription", "erAPINotFoundFailureReason", "erAPINotFoundRecoverySuggestion", true},
    {"invalidData", Kind::invalidData, OWN("InvalidData"), true},
    {"formatError", Kind::formatError, OWN("FormatError"), true},
    {"unableToDownload", Kind::unableToDownload, OWN("UnableToDownload"), true},
    {"unableToSave", Kind::unableToSave, OWN("UnableToSave"), true},
    {"setup", Kind::setup, OWN("Setup"), true},
    {"setupFailed", Kind::setupFailed, OWN("Setup"), true},
    {"cryptoError", Kind::cryptoError, OWN("CryptoError"), true},
    {"generic", Kind::generic, GEN, false},
    {"unfulfilledRequirement", Kind::unfulfilledRequirement, OWN("UnfulfilledRequirement"), true},
    {"upload", Kind::upload, "erUplAlreadyAddedDescription", "erUplAlreadyAddedFailureReason",
     "erUplAlreadyAddedRecoverySuggestion", true},
    {"internalError", Kind::internalError, GEN, false},
    {"directoryNameEmpty", Kind::directoryNameEmpty, OWN("DirectoryNameEmpty"), true},
    {"directoryUnknown", Kind::directoryUnknown, OWN("DirectoryUnknown"), true},
    {"noConnection", Kind::noConnection, OWN("NoConnection"), true},
    {"insufficientLocalStorage", Kind::insufficientLocalStorage, "erSynInsufficientLocalStorageDescription",
     "erSynInsufficientLocalStorageFailureReason", "erSynInsufficientLocalStorageRecoverySuggestion", true},
    {"invalidSession", Kind::invalidSession, GEN, false},
    {"timeout", Kind::timeout, OWN("Timeout"), true},
    {"passwordNeeded", Kind::passwordNeeded, OWN("PasswordNeeded"), true},
    {"notSupported", Kind::notSupported, GEN, false},
    {"unavailableFeatureForEncryptedItem", Kind::unavailableFeatureForEncryptedItem,
     OWN("UnavailableFeatureForEncryptedItem"), true},
    {"unknown", Kind::unknown, GEN, false},
    {"cancelled", Kind::cancelled, GEN, false},
    {"contactsAccessDenied", Kind::contactsAccessDenied, OWN("ContactsAccessDenied"), true},
    {"photosAccessDenied", Kind::photosAccessDenied, "erBusPhotosAccessDeniedDescription", "erBusGenericFailureReason",
     "erBusPhotosAccessDeniedRecoverySuggestion", true},
    {"calendarsAccessDenied", Kind::calendarsAccessDenied, "erBusCalendarsAccessDeniedDescription",
     "erBusGenericFailureReason", "erBusCalendarsAccessDeniedRecoverySuggestion", true},
    {"keychainUnavailable", Kind::keychainUnavailable, OWN("KeychainUnavailable"), true},
};

#undef GEN
#undef OWN

BusinessError representative(Kind kind) {
    if (kind == Kind::api) return BusinessError::api(APIError::notFound, QStringLiteral("carried text"));
    if (kind == Kind::upload) return BusinessError::upload(UploadError::alreadyAdded);
    return BusinessError::make(kind);
}

TEST_F(BusinessErrorTextsTest, EveryBusinessKindHasItsTextsAndHandling) {
    ASSERT_EQ(kBusinessCases.size(), 28u);
    int handled = 0;
    for (std::size_t i = 0; i < kBusinessCases.size(); ++i) {
        const BusinessCase& c = kBusinessCases[i];
        SCOPED_TRACE(c.name);
        // The table follows the framework's order, so every kind is covered once.
        ASSERT_EQ(static_cast<std::size_t>(c.kind), i);
        const BusinessError error = representative(c.kind);
        expectTexts(error, c.description, c.failureReason, c.recoverySuggestion);
        EXPECT_EQ(AppError::isHandled(c.kind), c.handled);
        EXPECT_EQ(hasOnlyGenericTexts(c.kind), !c.handled);
        EXPECT_EQ(AppError(error).errorCase(),
                  c.handled ? AppError::Case::handledBusinessError : AppError::Case::notHandledBusinessError);
        if (c.handled) ++handled;
        // Carried values never change a text.
        if (c.kind != Kind::api && c.kind != Kind::upload) {
            EXPECT_EQ(localizedTexts(withValues(c.kind)), localizedTexts(error));
        }
    }
    EXPECT_EQ(handled, 21);
}

struct APICase {
    const char* name;
    APIError kind;
    const char* description;
    const char* failureReason;
    const char* recoverySuggestion;
};

#define API(c) "erAPI" c "Description", "erAPI" c "FailureReason", "erAPI" c "RecoverySuggestion"

const std::vector<APICase> kAPICases = {
    {"invalidURL", APIError::invalidURL, API("Generic")},
    {"invalidResponse", APIError::invalidResponse, API("Generic")},
    {"network", APIError::network, API("Generic")},
    {"badRequest", APIError::badRequest, API("BadRequest")},
    {"unauthorized", APIError::unauthorized, API("Generic")},
    {"forbidden", APIError::forbidden, API("Forbidden")},
    {"notFound", APIError::notFound, API("NotFound")},
    {"conflict", APIError::conflict, API("Conflict")},
    {"gone", APIError::gone, API("Gone")},
    {"requestEntityTooLarge", APIError::requestEntityTooLarge, API("RequestEntityTooLarge")},
    {"unsupportedMediaType", APIError::unsupportedMediaType, API("UnsupportedMediaType")},
    {"requestedRangeNotSatisfiable", APIError::requestedRangeNotSatisfiable, API("RequestedRangeNotSatisfiable")},
    {"unprocessableEntity", APIError::unprocessableEntity, API("UnprocessableEntity")},
    {"serverError", APIError::serverError, API("ServerError")},
    {"badGateway", APIError::badGateway, API("BadGateway")},
    {"serviceUnavailable", APIError::serviceUnavailable, API("ServiceUnavailable")},
    {"gatewayTimeout", APIError::gatewayTimeout, API("GatewayTimeout")},
    {"insufficientStorage", APIError::insufficientStorage, API("InsufficientStorage")},
    {"unknown", APIError::unknown, API("Generic")},
    {"unexpectedStatusCode", APIError::unexpectedStatusCode, API("Generic")},
    {"decodingFailed", APIError::decodingFailed, API("Generic")},
    {"noLongerAuthorized", APIError::noLongerAuthorized, API("Generic")},
    {"notAuthorized", APIError::notAuthorized, "erAPIBvNotAuthorizedDescription", "erAPIGenericFailureReason", ""},
    {"invalidRequest", APIError::invalidRequest, API("BadRequest")},
};

#undef API

TEST_F(BusinessErrorTextsTest, EveryAPIKindHasItsTextsAndIsHandled) {
    ASSERT_EQ(kAPICases.size(), 24u);
    for (std::size_t i = 0; i < kAPICases.size(); ++i) {
        const APICase& c = kAPICases[i];
        SCOPED_TRACE(c.name);
        ASSERT_EQ(static_cast<std::size_t>(c.kind), i);
        for (const QString& message : {QString(), QStringLiteral("Server says no")}) {
            const BusinessError error = BusinessError::api(c.kind, message);
            expectTexts(error, c.description, c.failureReason, c.recoverySuggestion);
            EXPECT_EQ(AppError(error).errorCase(), AppError::Case::handledBusinessError);
        }
    }
}

struct UploadCase {
    const char* name;
    UploadError kind;
    const char* texts;  // the Upload case
};

const std::vector<UploadCase> kUploadCases = {
    {"unexpectedSituation", UploadError::unexpectedSituation, "UnexpectedSituation"},
    {"underlying", UploadError::underlying, "Generic"},
    {"alreadyAdded", UploadError::alreadyAdded, "AlreadyAdded"},
    {"notFound", UploadError::notFound, "NotFound"},
    {"cancelled", UploadError::cancelled, "Generic"},
    {"invalidStatus", UploadError::invalidStatus, "InvalidStatus"},
    {"unknown", UploadError::unknown, "Generic"},
};

TEST_F(BusinessErrorTextsTest, EveryUploadKindHasItsTextsAndIsHandled) {
    ASSERT_EQ(kUploadCases.size(), 7u);
    for (std::size_t i = 0; i < kUploadCases.size(); ++i) {
        const UploadCase& c = kUploadCases[i];
        SCOPED_TRACE(c.name);
        ASSERT_EQ(static_cast<std::size_t>(c.kind), i);
        const std::string base = std::string("erUpl") + c.texts;
        BusinessError error = BusinessError::upload(c.kind);
        expectTexts(error, (base + "Description").c_str(), (base + "FailureReason").c_str(),
                    (base + "RecoverySuggestion").c_str());
        EXPECT_EQ(AppError(error).errorCase(), AppError::Case::handledBusinessError);
        error.value = 7;
        error.message = QStringLiteral("disk on fire");
        EXPECT_EQ(localizedTexts(error), localizedTexts(BusinessError::upload(c.kind)));
    }
}

// A nested error the framework left out still gets its domain's texts, not another kind's.
TEST_F(BusinessErrorTextsTest, MissingNestedErrorFallsBackToItsDomainsGenericTexts) {
    expectTexts(BusinessError::make(Kind::api), "erAPIGenericDescription", "erAPIGenericFailureReason",
                "erAPIGenericRecoverySuggestion");
    expectTexts(BusinessError::make(Kind::upload), "erUplGenericDescription", "erUplGenericFailureReason",
                "erUplGenericRecoverySuggestion");
}

// Read against the list of error texts: a text of these domains that no kind shows was either added
// without its kind or lost when a kind was pointed at another case.
TEST_F(BusinessErrorTextsTest, EveryAPIBusinessAndUploadTextIsShownForSomeKind) {
    std::vector<BusinessError> errors;
    for (const BusinessCase& c : kBusinessCases) errors.push_back(BusinessError::make(c.kind));
    for (const APICase& c : kAPICases) errors.push_back(BusinessError::api(c.kind));
    for (const UploadCase& c : kUploadCases) errors.push_back(BusinessError::upload(c.kind));
    std::vector<LocalizationController::Member> shown;
    for (const BusinessError& error : errors) {
        const ErrorTextGetters g = errorTextGetters(error);
        for (const auto member : {g.description, g.failureReason, g.recoverySuggestion})
            if (member) shown.push_back(member);
    }
    int checked = 0;
    for (const auto& g : LocalizationController::errorGetters()) {
        const bool ofTheseDomains = g.name.startsWith(QLatin1String("erAPI")) ||
                                    g.name.startsWith(QLatin1String("erBus")) ||
                                    g.name.startsWith(QLatin1String("erUpl"));
        if (!ofTheseDomains) continue;
        ++checked;
        EXPECT_NE(std::find(shown.begin(), shown.end(), g.get), shown.end()) << g.name.toStdString() << " is never shown";
    }
    EXPECT_GT(checked, 0);
}

TEST_F(BusinessErrorTextsTest, NotAuthorizedShowsOnlyTheGenericReasonWithShippedTexts) {
    Bundle::main().setStringsTable({}, shippedStrings());
    const LocalizationController lc;
    const BusinessError error = BusinessError::api(APIError::notAuthorized);
    EXPECT_EQ(errorDescription(error), QString());
    EXPECT_EQ(recoverySuggestion(error), QString());
    EXPECT_EQ(failureReason(error), lc.erAPIGenericFailureReason());
    EXPECT_FALSE(failureReason(error).isEmpty());
    // Not even a table that would answer anything fills the empty suggestion.
    QHash<QString, QString> everything = shippedStrings();
    everything.insert(QString(), QStringLiteral("filled"));
    Bundle::main().setStringsTable({}, everything);
    EXPECT_EQ(recoverySuggestion(error), QString());
}

TEST_F(BusinessErrorTextsTest, ShippedTextsAreNeverEmptyButForNotAuthorized) {
    Bundle::main().setStringsTable({}, shippedStrings());
    for (const BusinessCase& c : kBusinessCases) {
        SCOPED_TRACE(c.name);
        const LocalizedErrorTexts texts = localizedTexts(representative(c.kind));
        EXPECT_FALSE(texts.description.isEmpty());
        EXPECT_FALSE(texts.failureReason.isEmpty());
        EXPECT_FALSE(texts.recoverySuggestion.isEmpty());
        EXPECT_FALSE(texts.description.startsWith(QLatin1String("Error."))) << texts.description.toStdString();
    }
}

TEST_F(BusinessErrorTextsTest, MissingKeyShowsTheDottedKey) {
    QHash<QString, QString> table = shippedStrings();
    table.remove(QStringLiteral("Error.Upload.AlreadyAdded.FailureReason"));
    Bundle::main().setStringsTable({}, table);
    const BusinessError error = BusinessError::upload(UploadError::alreadyAdded);
    EXPECT_EQ(failureReason(error), QStringLiteral("Error.Upload.AlreadyAdded.FailureReason"));
    EXPECT_EQ(errorDescription(error), table.value(QStringLiteral("Error.Upload.AlreadyAdded.Description")));
    EXPECT_FALSE(errorDescription(error).isEmpty());
}

TEST_F(BusinessErrorTextsTest, ResolvesOnAnyThread) {
    Bundle::main().setStringsTable({}, shippedStrings());
    std::vector<LocalizedErrorTexts> expected;
    for (const BusinessCase& c : kBusinessCases) expected.push_back(localizedTexts(representative(c.kind)));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round)
                for (std::size_t i = 0; i < kBusinessCases.size(); ++i)
                    if (localizedTexts(representative(kBusinessCases[i].kind)) != expected[i]) ++mismatches;
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
