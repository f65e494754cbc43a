#include "app/sync/ObjCSyncError.h"

#include "app/sync/SyncErrorTexts.h"

ObjCSyncError::ObjCSyncError(QDateTime date, std::optional<QString> rootRelativePath, SyncError error,
                             QObject* parent)
    : QObject(parent),
      date_(std::move(date)),
      rootRelativePath_(std::move(rootRelativePath)),
      error_(error),
      errorDescription_(::errorDescription(error_)) {}

ObjCSyncError::ObjCSyncError(const SyncErrorInfo& info, QObject* parent)
    : ObjCSyncError(info.date, info.rootRelativePath, info.error, parent) {}

void ObjCSyncError::setRootRelativePath(const std::optional<QString>& path) {
    if (rootRelativePath_ == path) return;
    rootRelativePath_ = path;
    emit rootRelativePathChanged();
}

void ObjCSyncError::setErrorDescription(const std::optional<QString>& description) {
    if (errorDescription_ == description) return;
    errorDescription_ = description;
    emit errorDescriptionChanged();
}
