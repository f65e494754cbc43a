#include "app/selectivesync/StoreErrorTexts.h"

#include "app/common/LocalizationController.h"

// One case so far; each text comes from a new controller so that a changed table shows at once.
QString errorDescription(StoreError error) {
    switch (error) {
    case StoreError::invalidRootNode: return LocalizationController().erStoInvalidRootNodeDescription();
    }
    return {};
}

QString failureReason(StoreError error) {
    switch (error) {
    case StoreError::invalidRootNode: return LocalizationController().erStoInvalidRootNodeFailureReason();
    }
    return {};
}

QString recoverySuggestion(StoreError error) {
    switch (error) {
    case StoreError::invalidRootNode: return LocalizationController().erStoInvalidRootNodeRecoverySuggestion();
    }
    return {};
}

LocalizedErrorTexts localizedTexts(StoreError error) {
    return LocalizedErrorTexts{errorDescription(error), failureReason(error), recoverySuggestion(error)};
}
