#include "app/sync/ObjCSyncQueueCount.h"

void ObjCSyncQueueCount::setDownload(const SyncProgress& progress) {
    if (download_ == progress) return;
    download_ = progress;
    emit downloadChanged();
}

void ObjCSyncQueueCount::setUpload(const SyncProgress& progress) {
    if (upload_ == progress) return;
    upload_ = progress;
    emit uploadChanged();
}
