#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

#include "frameworks/business/ShareTypes.h"

// A share link's values for bindings and the inspector's edits. Made from the framework's
// `ShareInfo`; the inspector keeps a copy() to tell what the user changed.
class ObjCShareInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QDateTime validUntil READ validUntil WRITE setValidUntil NOTIFY validUntilChanged)
    Q_PROPERTY(qint64 maxDownloads READ maxDownloads WRITE setMaxDownloads NOTIFY maxDownloadsChanged)
    Q_PROPERTY(qint64 remainingDownloads READ remainingDownloads CONSTANT)
    Q_PROPERTY(qint64 downloadCount READ downloadCount CONSTANT)
    Q_PROPERTY(bool isPasswordProtected READ isPasswordProtected WRITE setIsPasswordProtected NOTIFY isPasswordProtectedChanged)
    Q_PROPERTY(bool isWritable READ isWritable WRITE setIsWritable NOTIFY isWritableChanged)
    Q_PROPERTY(std::optional<QString> path READ path WRITE setPath NOTIFY pathChanged)
    Q_PROPERTY(double ttl READ ttl WRITE setTtl NOTIFY ttlChanged)
    Q_PROPERTY(bool isExpired READ isExpired CONSTANT)

public:
    explicit ObjCShareInfo(const ShareInfo& info, QObject* parent = nullptr);

    // The local path of a link's remote path: "root" cut, percent-decoded once, placed in the sync
    // folder of the setting `syncRoot`; none without a sync root or when the decoding fails.
    static std::optional<QString> localPath(const QString& remotePath);

    // A new object with the same nine values.
    std::unique_ptr<ObjCShareInfo> copy() const;

    QDateTime validUntil() const { return validUntil_; }
    qint64 maxDownloads() const { return maxDownloads_; }
    qint64 remainingDownloads() const { return remainingDownloads_; }
    qint64 downloadCount() const { return downloadCount_; }
    bool isPasswordProtected() const { return isPasswordProtected_; }
    bool isWritable() const { return isWritable_; }
    std::optional<QString> path() const { return path_; }
    double ttl() const { return ttl_; }
    bool isExpired() const { return isExpired_; }

    void setValidUntil(const QDateTime& value);
    void setMaxDownloads(qint64 value);
    void setIsPasswordProtected(bool value);
    void setIsWritable(bool value);
    void setPath(const std::optional<QString>& value);
    void setTtl(double value);

signals:
    void validUntilChanged();
    void maxDownloadsChanged();
    void isPasswordProtectedChanged();
    void isWritableChanged();
    void pathChanged();
    void ttlChanged();

private:
    ObjCShareInfo(const ObjCShareInfo& other, int);

    QDateTime validUntil_;
    qint64 maxDownloads_;
    qint64 remainingDownloads_;
    qint64 downloadCount_;
    bool isPasswordProtected_;
    bool isWritable_;
    std::optional<QString> path_;
    double ttl_;
    bool isExpired_;
};
