#include "app/core/AppError.h"

bool AppError::isHandled(BusinessError::Kind kind) {
    using K = BusinessError::Kind;
    switch (kind) {
    case K::unexpectedStatus:
    case K::generic:
    case K::internalError:
    case K::invalidSession:
    case K::notSupported:
    case K::unknown:
    case K::cancelled: return false;
    default: return true;
    }
}

AppError::AppError(const BusinessError& error)
    : case_(isHandled(error.kind) ? Case::handledBusinessError : Case::notHandledBusinessError), payload_(error) {}
AppError::AppError(QuotaError error) : case_(Case::quotaError), payload_(error) {}
AppError::AppError(StoreError error) : case_(Case::selectiveSyncError), payload_(error) {}
AppError::AppError(BackupError error) : case_(Case::backupError), payload_(error) {}
AppError::AppError(RestoreError error) : case_(Case::restoreError), payload_(error) {}
AppError::AppError(UnknownError error) : case_(Case::unknown), payload_(std::move(error)) {}
