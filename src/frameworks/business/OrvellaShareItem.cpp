#include "frameworks/business/OrvellaShareItem.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

#include "frameworks/api/OVAppConfig.h"
#include "frameworks/business/ServiceErrors.h"
#include "frameworks/business/ShareMailComposer.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"

namespace {

class OrvellaShareFile final : public OrvellaShareItem, public File {
public:
    template <typename... A>
    explicit OrvellaShareFile(A&&... args) : OrvellaShareItem(std::forward<A>(args)...) {}
};

class OrvellaShareDirectory final : public OrvellaShareItem, public Directory {
public:
    template <typename... A>
    explicit OrvellaShareDirectory(A&&... args) : OrvellaShareItem(std::forward<A>(args)...) {}
};

template <typename T>
void completeOnMain(std::function<void(T)> completion, T result) {
    MainQueue::async([completion = std::move(completion), result = std::move(result)] {
        if (completion) completion(result);
    });
}

BusinessError noLinkAddress() {
    return BusinessError::make(BusinessError::Kind::setup, QStringLiteral("The brand has no web address for share links."));
}

BasicItem::Metadata metadataOf(const QFileInfo& info) {
    return {info.lastModified().toUTC(), info.isDir() ? 0 : std::int64_t(info.size())};
}

BasicItem::Metadata metadataOf(const ServiceEntry& entry) {
    return {QDateTime::fromMSecsSinceEpoch(entry.mtimeNs / 1000000, Qt::UTC), entry.size};
}

// The session's client, or invalidSession once it is over.
ServiceResult<ServiceClient*> clientOf(const OrvellaShareContext& context) {
    if (context.session->ended()) return ServiceFailure{ServiceError::invalidSession, {}};
    return context.session->client.get();
}

ServiceShareChanges changesFrom(const ShareSettings& settings) {
    ServiceShareChanges changes;
    // The service's "no limit" is any count below one, its "no end date" any negative lifetime.
    if (settings.maxDownloads) changes.maxDownloads = *settings.maxDownloads == OVFacadeConstants::unlimitedValue ? 0 : *settings.maxDownloads;
    changes.password = settings.password;
    changes.writable = settings.writable;
    if (settings.ttl) changes.timeToLive = *settings.ttl == double(OVFacadeConstants::unlimitedValue) ? -1.0 : *settings.ttl;
    return changes;
}

bool hasChanges(const ShareSettings& s) { return s.maxDownloads || s.password || s.writable || s.ttl; }

}  // namespace

std::shared_ptr<OrvellaShareItem> OrvellaShareItem::make(OrvellaShareContext context, QString remotePath, bool isDirectory,
                                                         Metadata metadata, std::optional<ShareInfo> shareInfo) {
    if (isDirectory)
        return std::make_shared<OrvellaShareDirectory>(std::move(context), std::move(remotePath), true, std::move(metadata),
                                                       std::move(shareInfo));
    return std::make_shared<OrvellaShareFile>(std::move(context), std::move(remotePath), false, std::move(metadata),
                                              std::move(shareInfo));
}

OrvellaShareItem::OrvellaShareItem(OrvellaShareContext context, QString remotePath, bool isDirectory, Metadata metadata,
                                   std::optional<ShareInfo> shareInfo)
    : context_(std::move(context)),
      remotePath_(std::move(remotePath)),
      isDirectory_(isDirectory),
      metadata_(std::move(metadata)),
      shareInfo_(std::move(shareInfo)) {}

QUrl OrvellaShareItem::linkBase(const OVAppConfig& configuration) {
    const auto& config = configuration.orvellaConfig;
    if (!config) return {};
    QUrl site;
    for (const auto& endPoint : {config->authorizeEndPoint(), config->tokenEndPoint()}) {
        if (endPoint && endPoint->endPointAbsoluteURL().isValid() && !endPoint->endPointAbsoluteURL().host().isEmpty()) {
            site = endPoint->endPointAbsoluteURL();
            break;
        }
    }
    if (site.isEmpty()) return {};
    QUrl base;
    base.setScheme(site.scheme());
    base.setHost(site.host());
    base.setPort(site.port());
    base.setPath(QStringLiteral("/s/"));
    return base;
}

QUrl OrvellaShareItem::linkURL(const QUrl& base, const QString& token) {
    QUrl url = base;
    url.setPath(base.path() + token);
    return url;
}

QString OrvellaShareItem::userPathOf(const QString& remotePath) {
    return remotePath.startsWith(u'/') ? remotePath.mid(1) : remotePath;
}

QString OrvellaShareItem::encodedRemotePath(const QString& remotePath) {
    QString path = QStringLiteral("root");
    for (const QString& part : remotePath.split(u'/', Qt::SkipEmptyParts))
        path += u'/' + QString::fromLatin1(QUrl::toPercentEncoding(part));
    return path;
}

ShareInfo OrvellaShareItem::shareInfo(const ServiceShare& share, const QDateTime& now) {
    ShareInfo info;
    switch (share.state(now)) {
    case ServiceShare::State::active: info.status = ShareStatus::active; break;
    case ServiceShare::State::downloadLimitReached: info.status = ShareStatus::downloadLimitReached; break;
    case ServiceShare::State::expired: info.status = ShareStatus::expired; break;
    }
    info.remotePath = encodedRemotePath(share.itemPath);
    info.downloadCount = share.downloadCount;
    if (share.maxDownloads) {
        info.maxDownloads = *share.maxDownloads;
        info.remainingDownloads = std::max<std::int64_t>(0, *share.maxDownloads - share.downloadCount);
    }
    if (share.validUntil) {
        info.validUntil = *share.validUntil;
        info.ttl = std::max<double>(0, now.msecsTo(*share.validUntil) / 1000.0);
    }
    info.isPasswordProtected = share.isPasswordProtected;
    info.isWritable = share.isWritable;
    return info;
}

void OrvellaShareItem::sharedItems(OrvellaShareContext context,
                                   std::function<void(BusinessResult<std::vector<std::shared_ptr<BasicItem>>>)> completion) {
    using Result = BusinessResult<std::vector<std::shared_ptr<BasicItem>>>;
    auto queue = context.session->queue;
    queue->async([context = std::move(context), completion = std::move(completion)]() mutable {
        auto client = clientOf(context);
        auto shares = client ? client.value()->shares() : client.failure();
        if (!shares) return completeOnMain<Result>(std::move(completion), businessError(shares.failure()));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        std::vector<std::shared_ptr<BasicItem>> items;
        for (const ServiceShare& share : shares.value()) {
            auto entry = client.value()->entry(userPathOf(share.itemPath));
            if (!entry && (entry.error() == ServiceError::notFound || entry.error() == ServiceError::notAFolder))
                continue;  // gone since the list was read
            if (!entry) return completeOnMain<Result>(std::move(completion), businessError(entry.failure()));
            items.push_back(make(context, share.itemPath, share.isDirectory, metadataOf(entry.value()), shareInfo(share, now)));
        }
        completeOnMain<Result>(std::move(completion), std::move(items));
    });
}

std::shared_ptr<OrvellaShareItem> OrvellaShareItem::makeLocal(OrvellaShareContext context, const QString& syncFolder,
                                                              const QString& localPath, bool isDirectory) {
    if (syncFolder.isEmpty() || !QDir::isAbsolutePath(localPath) || !QDir::isAbsolutePath(syncFolder)) return nullptr;
    const QString folder = QDir::cleanPath(syncFolder);
    const QString path = QDir::cleanPath(localPath);
    // Whole components: "/x/Orvella 1/a" is not inside "/x/Orvella", nor is the folder itself an item.
    if (!path.startsWith(folder + u'/')) return nullptr;
    const QFileInfo info(path);
    if (!info.exists() || info.isSymLink() || info.isDir() != isDirectory) return nullptr;
    return make(std::move(context), path.mid(folder.size()), isDirectory, metadataOf(info), std::nullopt);
}

BasicItem::Record OrvellaShareItem::record() const {
    Record record;
    record.name = remotePath_.section(u'/', -1);
    if (!isDirectory_) {
        const qsizetype dot = record.name.lastIndexOf(u'.');
        if (dot > 0) record.fileExtension = record.name.mid(dot + 1);
    }
    return record;
}

std::optional<ShareInfo> OrvellaShareItem::shareInfo() const {
    std::lock_guard lock(mutex_);
    return shareInfo_;
}

void OrvellaShareItem::setShareInfo(std::optional<ShareInfo> info) {
    std::lock_guard lock(mutex_);
    shareInfo_ = std::move(info);
}

void OrvellaShareItem::share(const ShareSettings& settings, std::function<void(BusinessResult<QUrl>)> completion) {
    using Result = BusinessResult<QUrl>;
    context_.session->queue->async([self = shared_from_this(), settings, completion = std::move(completion)]() mutable {
        const OrvellaShareContext& c = self->context_;
        if (c.linkBase.isEmpty()) return completeOnMain<Result>(std::move(completion), noLinkAddress());
        auto client = clientOf(c);
        const QString path = userPathOf(self->remotePath_);
        auto made = client ? client.value()->createShare(path) : client.failure();
        if (made && hasChanges(settings)) made = client.value()->updateShare(path, changesFrom(settings));
        if (!made) return completeOnMain<Result>(std::move(completion), businessError(made.failure()));
        self->setShareInfo(shareInfo(made.value(), QDateTime::currentDateTimeUtc()));
        completeOnMain<Result>(std::move(completion), linkURL(c.linkBase, made.value().token));
    });
}

void OrvellaShareItem::removeShare(std::function<void(VoidResult)> completion) {
    context_.session->queue->async([self = shared_from_this(), completion = std::move(completion)]() mutable {
        auto client = clientOf(self->context_);
        auto removed = client ? client.value()->removeShare(userPathOf(self->remotePath_)) : client.failure();
        if (!removed) return completeOnMain<VoidResult>(std::move(completion), businessError(removed.failure()));
        self->setShareInfo(std::nullopt);
        completeOnMain<VoidResult>(std::move(completion), Success{});
    });
}

void OrvellaShareItem::updateShare(const ShareSettings& settings, std::function<void(BusinessResult<ShareInfo>)> completion) {
    using Result = BusinessResult<ShareInfo>;
    context_.session->queue->async([self = shared_from_this(), settings, completion = std::move(completion)]() mutable {
        ShareSettings accepted = settings;
        if (!self->isDirectory_) accepted.writable.reset();  // a file cannot be written to through its link
        auto client = clientOf(self->context_);
        auto updated = client ? client.value()->updateShare(userPathOf(self->remotePath_), changesFrom(accepted)) : client.failure();
        if (!updated) return completeOnMain<Result>(std::move(completion), businessError(updated.failure()));
        const ShareInfo info = shareInfo(updated.value(), QDateTime::currentDateTimeUtc());
        self->setShareInfo(info);
        completeOnMain<Result>(std::move(completion), info);
    });
}

void OrvellaShareItem::mailLink(const std::vector<Recipient>& recipients, const QString& message,
                                std::function<void(VoidResult)> completion) {
    QStringList addresses;
    for (const Recipient& r : recipients) addresses << r.mailAddress.trimmed();
    context_.session->queue->async([self = shared_from_this(), addresses, message, completion = std::move(completion)]() mutable {
        const OrvellaShareContext& c = self->context_;
        if (c.linkBase.isEmpty()) return completeOnMain<VoidResult>(std::move(completion), noLinkAddress());
        auto client = clientOf(c);
        auto existing = client ? client.value()->share(userPathOf(self->remotePath_)) : client.failure();
        if (!existing) return completeOnMain<VoidResult>(std::move(completion), businessError(existing.failure()));
        if (!existing.value())
            return completeOnMain<VoidResult>(std::move(completion),
                                              BusinessError::api(APIError::notFound, QStringLiteral("This item has no share link.")));
        const QString name = self->record().name;
        const QString link = linkURL(c.linkBase, existing.value()->token).toString();
        const QString body = message.isEmpty() ? link : message + QStringLiteral("\n\n") + link;
        const auto url = ShareMailComposer::mailtoURL(addresses, c.session->userName + QStringLiteral(" shared “") + name +
                                                                    QStringLiteral("” with you"), body);
        if (!url)
            return completeOnMain<VoidResult>(std::move(completion),
                                              BusinessError::api(APIError::unprocessableEntity,
                                                                 QStringLiteral("Enter plain mail addresses.")));
        // The mail program is started from the main thread; the recipients are noted once it took the mail.
        MainQueue::async([self, url = *url, addresses, completion = std::move(completion)]() mutable {
            if (!ShareMailComposer::open(url)) {
                if (completion)
                    completion(BusinessError::make(BusinessError::Kind::generic, QStringLiteral("No mail program took the message.")));
                return;
            }
            self->context_.session->queue->async([self, addresses, completion = std::move(completion)]() mutable {
                auto client = clientOf(self->context_);
                auto noted = client ? client.value()->addRecipients(userPathOf(self->remotePath_), addresses) : client.failure();
                if (!noted) return completeOnMain<VoidResult>(std::move(completion), businessError(noted.failure()));
                completeOnMain<VoidResult>(std::move(completion), Success{});
            });
        });
    });
}
