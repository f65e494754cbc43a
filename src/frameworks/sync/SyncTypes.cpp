#include "frameworks/sync/SyncTypes.h"

bool SyncError::shouldInterruptSync() const {
    switch (kind) {
    case Kind::insufficientLocalStorage:
    case Kind::insufficientRemoteStorage:
    case Kind::rootDirectoryNotFound:
    case Kind::setupFailure: return true;
    default: return false;
    }
}

bool SyncStatus::isInterruptingSync() const {
    switch (kind) {
    case Kind::error: return error && error->shouldInterruptSync();
    case Kind::paused:
    case Kind::offline: return true;
    default: return false;
    }
}

namespace {
QString errorName(SyncError::Kind kind) {
    switch (kind) {
    case SyncError::Kind::insufficientLocalStorage: return QStringLiteral("insufficientLocalStorage");
    case SyncError::Kind::tooManyRepeatedUploads: return QStringLiteral("tooManyRepeatedUploads");
    case SyncError::Kind::invalidItemName: return QStringLiteral("invalidItemName");
    case SyncError::Kind::itemIsUnreadable: return QStringLiteral("itemIsUnreadable");
    case SyncError::Kind::fileTooLargeForRemoteStorage: return QStringLiteral("fileTooLargeForRemoteStorage");
    case SyncError::Kind::itemIsReadonlyOnRemote: return QStringLiteral("itemIsReadonlyOnRemote");
    case SyncError::Kind::itemIsReadonlyOnLocalFS: return QStringLiteral("itemIsReadonlyOnLocalFS");
    case SyncError::Kind::itemIsInReadonlyDirectory: return QStringLiteral("itemIsInReadonlyDirectory");
    case SyncError::Kind::insufficientRemoteStorage: return QStringLiteral("insufficientRemoteStorage");
    case SyncError::Kind::rootDirectoryNotFound: return QStringLiteral("rootDirectoryNotFound");
    case SyncError::Kind::setupFailure: return QStringLiteral("setupFailure");
    }
    return {};
}
}  // namespace

QString describe(const SyncStatus& status) {
    switch (status.kind) {
    case SyncStatus::Kind::syncing: return QStringLiteral("syncing(%1)").arg(status.flag);
    case SyncStatus::Kind::progress:
        return QStringLiteral("progress(down %1/%2, up %3/%4)")
            .arg(status.download.completed).arg(status.download.total)
            .arg(status.upload.completed).arg(status.upload.total);
    case SyncStatus::Kind::finishing: return QStringLiteral("finishing");
    case SyncStatus::Kind::error:
        return QStringLiteral("error(%1)").arg(status.error ? errorName(status.error->kind) : QString());
    case SyncStatus::Kind::paused: return QStringLiteral("paused");
    case SyncStatus::Kind::upToDate: return QStringLiteral("upToDate");
    case SyncStatus::Kind::offline: return QStringLiteral("offline");
    case SyncStatus::Kind::preparing: return QStringLiteral("preparing");
    }
    return {};
}

QString itemSyncStatusWord(OVItemSyncStatus status) {
    switch (status) {
    case OVItemSyncStatus::error: return QStringLiteral("error");
    case OVItemSyncStatus::readOnly: return QStringLiteral("readOnly");
    case OVItemSyncStatus::syncing: return QStringLiteral("syncing");
    case OVItemSyncStatus::synced: return QStringLiteral("synced");
    case OVItemSyncStatus::selectivelyNotSynced: return QStringLiteral("selectivelyNotSynced");
    case OVItemSyncStatus::ignored: return QStringLiteral("ignored");
    }
    return {};
}
