#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

#include "frameworks/sync/SyncTypes.h"

// One row of the sync-error list, for the error table's bindings. The engine's error itself is not
// a bindable value; its description is.
class ObjCSyncError : public QObject {
    Q_OBJECT
    Q_PROPERTY(QDateTime date READ date CONSTANT)
    Q_PROPERTY(std::optional<QString> rootRelativePath READ rootRelativePath WRITE setRootRelativePath NOTIFY
                   rootRelativePathChanged)
    Q_PROPERTY(std::optional<QString> errorDescription READ errorDescription WRITE setErrorDescription NOTIFY
                   errorDescriptionChanged)

public:
    // The description is the error's own localized description.
    ObjCSyncError(QDateTime date, std::optional<QString> rootRelativePath, SyncError error,
                  QObject* parent = nullptr);
    explicit ObjCSyncError(const SyncErrorInfo& info, QObject* parent = nullptr);

    QDateTime date() const { return date_; }
    std::optional<QString> rootRelativePath() const { return rootRelativePath_; }
    void setRootRelativePath(const std::optional<QString>& path);
    const SyncError& error() const { return error_; }
    std::optional<QString> errorDescription() const { return errorDescription_; }
    void setErrorDescription(const std::optional<QString>& description);

signals:
    void rootRelativePathChanged();
    void errorDescriptionChanged();

private:
    const QDateTime date_;
    std::optional<QString> rootRelativePath_;
    const SyncError error_;
    std::optional<QString> errorDescription_;
};
