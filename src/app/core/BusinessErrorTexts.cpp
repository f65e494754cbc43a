#include "app/core/BusinessErrorTexts.h"

#include <array>
#include <cstddef>

namespace {

using LC = LocalizationController;
using Kind = BusinessError::Kind;

// The three getters of one case of the key scheme.
#define OV_TEXTS(domain, name) \
    ErrorTextGetters { &LC::er##domain##name##Description, &LC::er##domain##name##FailureReason, &LC::er##domain##name##RecoverySuggestion }

constexpr ErrorTextGetters kBusinessGeneric = OV_TEXTS(Bus, Generic);
constexpr ErrorTextGetters kAPIGeneric = OV_TEXTS(API, Generic);
constexpr ErrorTextGetters kUploadGeneric = OV_TEXTS(Upl, Generic);

template <typename Enum>
struct Row {
    Enum kind;
    ErrorTextGetters texts;
};

// Tables are indexed by kind; this keeps a row from slipping out of place.
template <typename Enum, std::size_t N>
constexpr bool inDeclarationOrder(const std::array<Row<Enum>, N>& table) {
    for (std::size_t i = 0; i < N; ++i)
        if (static_cast<std::size_t>(table[i].kind) != i) return false;
    return true;
}

constexpr std::array<Row<APIError>, 24> kAPITexts{{
    {APIError::invalidURL, kAPIGeneric},
    {APIError::invalidResponse, kAPIGeneric},
    {APIError::network, kAPIGeneric},
    {APIError::badRequest, OV_TEXTS(API, BadRequest)},
    {APIError::unauthorized, kAPIGeneric},
    {APIError::forbidden, OV_TEXTS(API, Forbidden)},
    {APIError::notFound, OV_TEXTS(API, NotFound)},
    {APIError::conflict, OV_TEXTS(API, Conflict)},
    {APIError::gone, OV_TEXTS(API, Gone)},
    {APIError::requestEntityTooLarge, OV_TEXTS(API, RequestEntityTooLarge)},
    {APIError::unsupportedMediaType, OV_TEXTS(API, UnsupportedMediaType)},
    {APIError::requestedRangeNotSatisfiable, OV_TEXTS(API, RequestedRangeNotSatisfiable)},
    {APIError::unprocessableEntity, OV_TEXTS(API, UnprocessableEntity)},
    {APIError::serverError, OV_TEXTS(API, ServerError)},
    {APIError::badGateway, OV_TEXTS(API, BadGateway)},
    {APIError::serviceUnavailable, OV_TEXTS(API, ServiceUnavailable)},
    {APIError::gatewayTimeout, OV_TEXTS(API, GatewayTimeout)},
    {APIError::insufficientStorage, OV_TEXTS(API, InsufficientStorage)},
    {APIError::unknown, kAPIGeneric},
    {APIError::unexpectedStatusCode, kAPIGeneric},
    {APIError::decodingFailed, kAPIGeneric},
    {APIError::noLongerAuthorized, kAPIGeneric},
    // Deliberately without description and suggestion; only the reason has a text.
    {APIError::notAuthorized, {&LC::erAPIBvNotAuthorizedDescription, &LC::erAPIGenericFailureReason, nullptr}},
    {APIError::invalidRequest, OV_TEXTS(API, BadRequest)},
}};
static_assert(inDeclarationOrder(kAPITexts));
static_assert(static_cast<std::size_t>(APIError::invalidRequest) + 1 == kAPITexts.size());

constexpr std::array<Row<UploadError>, 7> kUploadTexts{{
    {UploadError::unexpectedSituation, OV_TEXTS(Upl, UnexpectedSituation)},
    {UploadError::underlying, kUploadGeneric},
    {UploadError::alreadyAdded, OV_TEXTS(Upl, AlreadyAdded)},
    {UploadError::notFound, OV_TEXTS(Upl, NotFound)},
    {UploadError::cancelled, kUploadGeneric},
    {UploadError::invalidStatus, OV_TEXTS(Upl, InvalidStatus)},
    {UploadError::unknown, kUploadGeneric},
}};
static_assert(inDeclarationOrder(kUploadTexts));
static_assert(static_cast<std::size_t>(UploadError::unknown) + 1 == kUploadTexts.size());

// The kinds that nest another error take their texts from it; their own row is never read.
constexpr ErrorTextGetters kNested{};

constexpr std::array<Row<Kind>, 28> kBusinessTexts{{
    {Kind::unexpectedStatus, kBusinessGeneric},
    {Kind::api, kNested},
    {Kind::invalidData, OV_TEXTS(Bus, InvalidData)},
    {Kind::formatError, OV_TEXTS(Bus, FormatError)},
    {Kind::unableToDownload, OV_TEXTS(Bus, UnableToDownload)},
    {Kind::unableToSave, OV_TEXTS(Bus, UnableToSave)},
    {Kind::setup, OV_TEXTS(Bus, Setup)},
    {Kind::setupFailed, OV_TEXTS(Bus, Setup)},
    {Kind::cryptoError, OV_TEXTS(Bus, CryptoError)},
    {Kind::generic, kBusinessGeneric},
    {Kind::unfulfilledRequirement, OV_TEXTS(Bus, UnfulfilledRequirement)},
    {Kind::upload, kNested},
    {Kind::internalError, kBusinessGeneric},
    {Kind::directoryNameEmpty, OV_TEXTS(Bus, DirectoryNameEmpty)},
    {Kind::directoryUnknown, OV_TEXTS(Bus, DirectoryUnknown)},
    {Kind::noConnection, OV_TEXTS(Bus, NoConnection)},
    // The disk is full: the sync engine's texts say so best.
    {Kind::insufficientLocalStorage, OV_TEXTS(Syn, InsufficientLocalStorage)},
    {Kind::invalidSession, kBusinessGeneric},
    {Kind::timeout, OV_TEXTS(Bus, Timeout)},
    {Kind::passwordNeeded, OV_TEXTS(Bus, PasswordNeeded)},
    {Kind::notSupported, kBusinessGeneric},
    {Kind::unavailableFeatureForEncryptedItem, OV_TEXTS(Bus, UnavailableFeatureForEncryptedItem)},
    {Kind::unknown, kBusinessGeneric},
    {Kind::cancelled, kBusinessGeneric},
    {Kind::contactsAccessDenied, OV_TEXTS(Bus, ContactsAccessDenied)},
    // There are no failure reasons of their own for photos and calendars.
    {Kind::photosAccessDenied,
     {&LC::erBusPhotosAccessDeniedDescription, &LC::erBusGenericFailureReason, &LC::erBusPhotosAccessDeniedRecoverySuggestion}},
    {Kind::calendarsAccessDenied,
     {&LC::erBusCalendarsAccessDeniedDescription, &LC::erBusGenericFailureReason,
      &LC::erBusCalendarsAccessDeniedRecoverySuggestion}},
    {Kind::keychainUnavailable, OV_TEXTS(Bus, KeychainUnavailable)},
}};
static_assert(inDeclarationOrder(kBusinessTexts));
static_assert(static_cast<std::size_t>(Kind::keychainUnavailable) + 1 == kBusinessTexts.size());

#undef OV_TEXTS

template <typename Enum, std::size_t N>
ErrorTextGetters lookUp(const std::array<Row<Enum>, N>& table, Enum kind, const ErrorTextGetters& fallback) {
    const auto index = static_cast<std::size_t>(kind);
    return index < N ? table[index].texts : fallback;
}

QString resolve(LocalizationController::Member getter) {
    if (!getter) return QString();
    const LocalizationController localizationController;
    return (localizationController.*getter)();
}

}  // namespace

ErrorTextGetters errorTextGetters(const BusinessError& error) {
    switch (error.kind) {
    // A nested error that is missing (never so from the framework) gets its domain's generic texts.
    case Kind::api:
        return error.apiError ? lookUp(kAPITexts, *error.apiError, kAPIGeneric) : kAPIGeneric;
    case Kind::upload:
        return error.uploadError ? lookUp(kUploadTexts, *error.uploadError, kUploadGeneric) : kUploadGeneric;
    default: return lookUp(kBusinessTexts, error.kind, kBusinessGeneric);
    }
}

QString errorDescription(const BusinessError& error) { return resolve(errorTextGetters(error).description); }

QString failureReason(const BusinessError& error) { return resolve(errorTextGetters(error).failureReason); }

QString recoverySuggestion(const BusinessError& error) { return resolve(errorTextGetters(error).recoverySuggestion); }

LocalizedErrorTexts localizedTexts(const BusinessError& error) {
    return {errorDescription(error), failureReason(error), recoverySuggestion(error)};
}

bool hasOnlyGenericTexts(BusinessError::Kind kind) {
    if (kind == Kind::api || kind == Kind::upload) return false;
    const ErrorTextGetters texts = lookUp(kBusinessTexts, kind, kBusinessGeneric);
    return texts.description == kBusinessGeneric.description && texts.failureReason == kBusinessGeneric.failureReason &&
           texts.recoverySuggestion == kBusinessGeneric.recoverySuggestion;
}
