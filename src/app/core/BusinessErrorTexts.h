#pragma once

#include <QString>

#include "app/common/LocalizationController.h"
#include "frameworks/business/BusinessError.h"

// The user-readable texts of a business-framework error. The framework's errors carry none of
// their own; the application picks a getter of LocalizationController per kind (for an API or
// upload error, per nested kind). The carried values never show.

// The three texts of one error.
struct LocalizedErrorTexts {
    QString description;
    QString failureReason;
    QString recoverySuggestion;

    bool operator==(const LocalizedErrorTexts&) const = default;
};

// The getters that give an error's texts; a null member stands for the empty text.
struct ErrorTextGetters {
    LocalizationController::Member description = nullptr;
    LocalizationController::Member failureReason = nullptr;
    LocalizationController::Member recoverySuggestion = nullptr;
};

ErrorTextGetters errorTextGetters(const BusinessError& error);

// Each never absent, possibly empty. Stateless: any thread; every call looks its text up afresh.
QString errorDescription(const BusinessError& error);
QString failureReason(const BusinessError& error);
QString recoverySuggestion(const BusinessError& error);
LocalizedErrorTexts localizedTexts(const BusinessError& error);

// Whether every text of this kind is the generic business text, so the user learns nothing from
// it that would let them act. The kinds that nest an API or upload error never count as such.
bool hasOnlyGenericTexts(BusinessError::Kind kind);
