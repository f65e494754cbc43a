#include "frameworks/sync/SyncDecision.h"

#include <algorithm>

bool localChanged(const std::optional<FsEntry>& local, const std::optional<SyncRecord>& base) {
    if (!local || !base) return local.has_value() != base.has_value();
    return !local->sameVersion(base->local);
}

bool remoteChanged(const std::optional<FsEntry>& remote, const std::optional<SyncRecord>& base) {
    if (!remote || !base) return remote.has_value() != base.has_value();
    return !remote->sameVersion(base->remote);
}

SyncStep decide(const std::optional<FsEntry>& local, const std::optional<FsEntry>& remote,
                const std::optional<SyncRecord>& base, bool subscribed) {
    using A = SyncAction;
    const bool lc = localChanged(local, base);
    const bool rc = remoteChanged(remote, base);

    if (!lc && !rc) {
        if (local && base && !subscribed) return {A::none, A::removeUnsubscribed};
        return {};
    }
    if (lc && !rc) {
        if (!local) return {A::none, remote ? A::deleteRemote : A::forget};
        if (local->isDirectory())
            return {remote ? A::deleteRemote : A::none, A::createRemoteFolder};  // remote is the old file
        return {remote && remote->isDirectory() ? A::deleteRemote : A::none, A::upload};
    }
    if (!lc && rc) {
        if (!remote) return {A::none, local ? A::deleteLocal : A::forget};
        if (!subscribed) return {A::none, local && base ? A::removeUnsubscribed : A::none};
        if (remote->isDirectory()) return {local ? A::deleteLocal : A::none, A::createLocalFolder};
        return {local && local->isDirectory() ? A::deleteLocal : A::none, A::download};
    }
    // Changed on both sides.
    if (!local && !remote) return {A::none, A::forget};
    if (!local) {
        if (!subscribed) return {A::none, A::forget};
        return {A::none, remote->isDirectory() ? A::createLocalFolder : A::download};
    }
    if (!remote) return {A::none, local->isDirectory() ? A::createRemoteFolder : A::upload};
    if (local->isDirectory() && remote->isDirectory()) return {A::none, A::recordInSync};
    return {A::none, A::resolveBothChanged};
}

QString conflictCopyName(const QString& name, const QString& suffix, bool isDirectory, int number) {
    QString label = suffix.trimmed();
    if (label.startsWith(QLatin1Char('(')) && label.endsWith(QLatin1Char(')'))) label = label.mid(1, label.size() - 2);
    if (label.isEmpty()) label = QStringLiteral("conflicted copy");
    if (number > 1) label += QLatin1Char(' ') + QString::number(number);
    const QString marker = QStringLiteral(" (") + label + QLatin1Char(')');
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (isDirectory || dot <= 0) return name + marker;
    return name.left(dot) + marker + name.mid(dot);
}

QString actionName(SyncAction action) {
    switch (action) {
    case SyncAction::none: return QStringLiteral("none");
    case SyncAction::upload: return QStringLiteral("upload");
    case SyncAction::download: return QStringLiteral("download");
    case SyncAction::createRemoteFolder: return QStringLiteral("createRemoteFolder");
    case SyncAction::createLocalFolder: return QStringLiteral("createLocalFolder");
    case SyncAction::deleteRemote: return QStringLiteral("deleteRemote");
    case SyncAction::deleteLocal: return QStringLiteral("deleteLocal");
    case SyncAction::removeUnsubscribed: return QStringLiteral("removeUnsubscribed");
    case SyncAction::recordInSync: return QStringLiteral("recordInSync");
    case SyncAction::forget: return QStringLiteral("forget");
    case SyncAction::resolveBothChanged: return QStringLiteral("resolveBothChanged");
    }
    return {};
}

SyncError::Kind noRemoteRoomError(std::optional<std::int64_t> freeBytes, std::int64_t needed) {
    const std::int64_t room = std::min(freeBytes.value_or(needed - 1), needed - 1);
    return room < remoteStorageFullBelow ? SyncError::Kind::insufficientRemoteStorage
                                         : SyncError::Kind::fileTooLargeForRemoteStorage;
}
