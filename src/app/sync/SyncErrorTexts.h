#pragma once

#include <QString>

#include <optional>

#include "app/common/LocalizationController.h"
#include "frameworks/sync/SyncTypes.h"

// The user-readable texts of the sync engine's errors. The engine's errors carry none of their
// own; each kind has its getters of LocalizationController. Of the values some kinds carry only a
// too-large file's size shows, in its description. Stateless: any thread; every call looks its text up afresh.

// The getters of one kind; a null member means the kind has no such text.
struct SyncErrorTextGetters {
    LocalizationController::Member description = nullptr;
    LocalizationController::Member failureReason = nullptr;
    LocalizationController::Member recoverySuggestion = nullptr;
};

SyncErrorTextGetters syncErrorTextGetters(SyncError::Kind kind);

// None where the kind has no such text; a help anchor is never given.
std::optional<QString> errorDescription(const SyncError& error);
std::optional<QString> failureReason(const SyncError& error);
std::optional<QString> recoverySuggestion(const SyncError& error);
