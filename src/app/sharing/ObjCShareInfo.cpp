#include "app/sharing/ObjCShareInfo.h"

#include "app/sharing/SharePaths.h"

ObjCShareInfo::ObjCShareInfo(const ShareInfo& info, QObject* parent)
    : QObject(parent),
      validUntil_(info.validUntil),
      maxDownloads_(info.maxDownloads),
      remainingDownloads_(info.remainingDownloads),
      downloadCount_(info.downloadCount),
      isPasswordProtected_(info.isPasswordProtected),
      isWritable_(info.isWritable),
      path_(SharePaths::localPath(info.remotePath)),
      ttl_(info.ttl),
      isExpired_(info.status == ShareStatus::expired) {}

ObjCShareInfo::ObjCShareInfo(const ObjCShareInfo& other, int)
    : QObject(nullptr),
      validUntil_(other.validUntil_),
      maxDownloads_(other.maxDownloads_),
      remainingDownloads_(other.remainingDownloads_),
      downloadCount_(other.downloadCount_),
      isPasswordProtected_(other.isPasswordProtected_),
      isWritable_(other.isWritable_),
      path_(other.path_),
      ttl_(other.ttl_),
      isExpired_(other.isExpired_) {}

std::optional<QString> ObjCShareInfo::localPath(const QString& remotePath) { return SharePaths::localPath(remotePath); }

std::unique_ptr<ObjCShareInfo> ObjCShareInfo::copy() const { return std::unique_ptr<ObjCShareInfo>(new ObjCShareInfo(*this, 0)); }

namespace {

template <typename T, typename Signal>
void assign(ObjCShareInfo* self, T& field, const T& value, Signal signal) {
    if (field == value) return;
    field = value;
    emit(self->*signal)();
}

}  // namespace

void ObjCShareInfo::setValidUntil(const QDateTime& value) { assign(this, validUntil_, value, &ObjCShareInfo::validUntilChanged); }
void ObjCShareInfo::setMaxDownloads(qint64 value) { assign(this, maxDownloads_, value, &ObjCShareInfo::maxDownloadsChanged); }
void ObjCShareInfo::setIsPasswordProtected(bool value) {
    assign(this, isPasswordProtected_, value, &ObjCShareInfo::isPasswordProtectedChanged);
}
void ObjCShareInfo::setIsWritable(bool value) { assign(this, isWritable_, value, &ObjCShareInfo::isWritableChanged); }
void ObjCShareInfo::setPath(const std::optional<QString>& value) { assign(this, path_, value, &ObjCShareInfo::pathChanged); }
void ObjCShareInfo::setTtl(double value) { assign(this, ttl_, value, &ObjCShareInfo::ttlChanged); }
