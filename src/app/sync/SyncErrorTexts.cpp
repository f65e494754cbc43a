#include "app/sync/SyncErrorTexts.h"

#include "frameworks/common/ByteFormatter.h"

SyncErrorTextGetters syncErrorTextGetters(SyncError::Kind kind) {
    using L = LocalizationController;
    using K = SyncError::Kind;
    switch (kind) {
    case K::insufficientLocalStorage:
        return {&L::erSynInsufficientLocalStorageDescription, &L::erSynInsufficientLocalStorageFailureReason,
                &L::erSynInsufficientLocalStorageRecoverySuggestion};
    case K::tooManyRepeatedUploads: return {&L::erSynTooManyRepeatedUploadsDescription, nullptr, nullptr};
    case K::itemIsReadonlyOnRemote:
        return {&L::erSynItemIsReadonlyOnRemoteDescription, &L::erSynItemIsReadonlyOnRemoteFailureReason,
                &L::erSynItemIsReadonlyOnRemoteRecoverySuggestion};
    case K::itemIsReadonlyOnLocalFS:
        return {&L::erSynItemIsReadonlyOnLocalFSDescription, &L::erSynItemIsReadonlyOnLocalFSFailureReason,
                &L::erSynItemIsReadonlyOnLocalFSRecoverySuggestion};
    case K::itemIsInReadonlyDirectory:
        return {&L::erSynItemIsInReadonlyDirectoryDescription, &L::erSynItemIsInReadonlyDirectoryFailureReason,
                &L::erSynItemIsInReadonlyDirectoryRecoverySuggestion};
    case K::insufficientRemoteStorage:
        return {&L::erSynInsufficientRemoteStorageDescription, &L::erSynInsufficientRemoteStorageFailureReason,
                &L::erSynInsufficientRemoteStorageRecoverySuggestion};
    case K::rootDirectoryNotFound:
        return {&L::erSynRootDirectoryNotFoundDescription, &L::erSynRootDirectoryNotFoundFailureReason,
                &L::erSynRootDirectoryNotFoundRecoverySuggestion};
    case K::setupFailure:
        return {&L::erSynSetupFailureDescription, &L::erSynSetupFailureFailureReason,
                &L::erSynSetupFailureRecoverySuggestion};
    case K::invalidItemName: return {&L::erSynInvalidItemNameDescription, nullptr, nullptr};
    case K::itemIsUnreadable: return {&L::erSynItemIsUnreadableDescription, nullptr, nullptr};
    case K::fileTooLargeForRemoteStorage: return {&L::syErrorFileTooLargeForRemoteStorage, nullptr, nullptr};
    }
    return {};
}

namespace {
std::optional<QString> text(LocalizationController::Member getter) {
    if (!getter) return std::nullopt;
    return (LocalizationController().*getter)();
}
}  // namespace

std::optional<QString> errorDescription(const SyncError& error) {
    auto description = text(syncErrorTextGetters(error.kind).description);
    // The user needs the size to tell why this file, of all, does not go.
    if (description && error.kind == SyncError::Kind::fileTooLargeForRemoteStorage)
        description = description->arg(ByteFormatter::format(error.value));
    return description;
}

std::optional<QString> failureReason(const SyncError& error) {
    return text(syncErrorTextGetters(error.kind).failureReason);
}

std::optional<QString> recoverySuggestion(const SyncError& error) {
    return text(syncErrorTextGetters(error.kind).recoverySuggestion);
}
