#include "app/sharing/ShareController.h"

#include <QFileInfo>
#include <QPointer>

#include <type_traits>

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SyncFolderPaths.h"
#include "app/sharing/ObjCShare.h"
#include "app/sharing/SharePaths.h"
#include "frameworks/business/BasicItem.h"
#include "frameworks/business/BusinessFacade.h"
#include "frameworks/business/LocalMacFileSystemItemFactory.h"
#include "frameworks/business/ShareMailComposer.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/MainQueue.h"

namespace {

// A completion that runs on the main thread whatever thread the framework answers on.
template <typename... A>
std::function<void(A...)> onMain(std::type_identity_t<std::function<void(A...)>> completion) {
    return [completion = std::move(completion)](A... args) {
        MainQueue::runOrAsync([completion, args...] {
            if (completion) completion(args...);
        });
    };
}

void logSharedItemsError(const std::optional<BusinessError>& error) {
    const QString description = error ? textualDescription(*error) : QStringLiteral("nil");
    OVLOG_ERROR(AppLog::framework(), QStringLiteral("Shared items error: ") + description);
}

QString normalized(const QString& text) { return text.normalized(QString::NormalizationForm_C); }

OVShareControllerDependencyProvider defaultDependencies() {
    // Mails of share links go through the desktop like every other URL the application opens.
    ShareMailComposer::setHandler([](const QUrl& url) { return Workspace::openUrl(url); });
    return OVShareControllerDependencyProvider{&BusinessFacadeHolder::facade()};
}

}  // namespace

ShareController::ShareController(QObject* parent) : ShareController(defaultDependencies(), parent) {}

ShareController::ShareController(OVShareControllerDependencyProvider dependencyProvider, QObject* parent)
    : QObject(parent), dependencyProvider_(dependencyProvider) {}

void ShareController::setIsUpdatingAdvancedOptions(bool value) {
    if (isUpdatingAdvancedOptions_ == value) return;
    isUpdatingAdvancedOptions_ = value;
    emit isUpdatingAdvancedOptionsChanged();
}

void ShareController::sharedItems(std::function<void(std::optional<Shares>, std::optional<AppError>)> completion) {
    using Result = BusinessResult<std::vector<std::shared_ptr<BasicItem>>>;
    dependencyProvider_.businessFacade->sharedItems(onMain<Result>([completion = std::move(completion)](Result result) {
        if (!result.isSuccess()) {
            logSharedItemsError(result.error());
            return completion(std::nullopt, AppError(result.error()));
        }
        Shares shares;
        for (const auto& item : result.value())
            if (auto share = ObjCShare::make(item)) shares.push_back(std::move(share));
        completion(std::move(shares), std::nullopt);
    }));
}

std::shared_ptr<ObjCShare> ShareController::matchingShare(const std::vector<std::shared_ptr<BasicItem>>& items,
                                                          const QString& localPath, const QString& relativePath) {
    const QString name = normalized(QFileInfo(localPath).fileName());
    const QString wanted = normalized(relativePath);
    for (const auto& item : items) {
        if (!dynamic_cast<Shareable*>(item.get())) continue;
        if (normalized(item->record().name) != name) continue;
        const auto info = dynamic_cast<Shareable*>(item.get())->shareInfo();
        if (!info) continue;
        // Decoded once, as the framework encodes once: a name that really holds "%41" still
        // finds its own link.
        const auto path = SharePaths::localPath(info->remotePath);
        if (!path) continue;
        const auto relative = pathRelativeToSyncFolder(*path);
        if (!relative || normalized(*relative) != wanted) continue;
        if (auto share = ObjCShare::make(item)) return share;
    }
    return nullptr;
}

void ShareController::sharedItem(const QString& localPath, std::function<void(Lookup)> completion) {
    using Result = BusinessResult<std::vector<std::shared_ptr<BasicItem>>>;
    dependencyProvider_.businessFacade->sharedItems(
        onMain<Result>([localPath, completion = std::move(completion)](Result result) {
            if (!result.isSuccess()) {
                logSharedItemsError(result.error());
                return completion(Lookup{nullptr, AppError(result.error())});
            }
            const auto relative = pathRelativeToSyncFolder(localPath);
            if (!relative) {
                logSharedItemsError(std::nullopt);
                return completion(Lookup{nullptr, AppError(UnknownError{QStringLiteral("Not in the sync folder: ") + localPath})});
            }
            completion(Lookup{matchingShare(result.value(), localPath, *relative), std::nullopt});
        }));
}

void ShareController::shareLink(const std::shared_ptr<ObjCShare>& share,
                                std::function<void(std::optional<QUrl>, std::optional<AppError>)> completion) {
    share->item().share(ShareSettings{}, onMain<BusinessResult<QUrl>>([completion = std::move(completion)](BusinessResult<QUrl> result) {
        if (result.isSuccess()) return completion(result.value(), std::nullopt);
        completion(std::nullopt, AppError(result.error()));
    }));
}

void ShareController::updateShare(const std::shared_ptr<ObjCShare>& share, std::optional<std::int64_t> maxDownloads,
                                  std::optional<QString> password, std::optional<bool> writable, std::optional<double> ttl,
                                  std::function<void(UpdateResult)> completion) {
    setIsUpdatingAdvancedOptions(true);
    ShareSettings settings;
    if (!share->isDirectoryShare()) settings.maxDownloads = maxDownloads;
    settings.password = std::move(password);
    if (share->isDirectoryShare()) settings.writable = writable;
    settings.ttl = ttl;
    QPointer<ShareController> self(this);
    share->item().updateShare(settings, onMain<BusinessResult<ShareInfo>>(
                                            [self, completion = std::move(completion)](BusinessResult<ShareInfo> result) {
                                                if (self) self->setIsUpdatingAdvancedOptions(false);
                                                if (result.isSuccess()) return completion(result.value());
                                                completion(AppError(result.error()));
                                            }));
}

void ShareController::removeShare(const std::shared_ptr<ObjCShare>& share, std::function<void(std::optional<AppError>)> completion) {
    share->item().removeShare(onMain<VoidResult>([completion = std::move(completion)](VoidResult result) {
        completion(result.isSuccess() ? std::nullopt : std::optional<AppError>(AppError(result.error())));
    }));
}

void ShareController::setPassword(const QString& password, const std::shared_ptr<ObjCShare>& share,
                                  std::function<void(std::optional<AppError>)> completion) {
    ShareSettings settings;
    settings.password = password;
    share->item().updateShare(settings, onMain<BusinessResult<ShareInfo>>([completion = std::move(completion)](BusinessResult<ShareInfo> result) {
        completion(result.isSuccess() ? std::nullopt : std::optional<AppError>(AppError(result.error())));
    }));
}

void ShareController::sendShareLink(const std::shared_ptr<ObjCShare>& share, const QStringList& addresses,
                                    const QString& message, std::function<void(std::optional<AppError>)> completion) {
    std::vector<Recipient> recipients;
    for (const QString& address : addresses) recipients.push_back(Recipient{QString(), address});
    share->item().mailLink(recipients, message, onMain<VoidResult>([completion = std::move(completion)](VoidResult result) {
        completion(result.isSuccess() ? std::nullopt : std::optional<AppError>(AppError(result.error())));
    }));
}

std::shared_ptr<ObjCShare> ShareController::makeShare(const QString& localPath) const {
    const QFileInfo info(localPath);
    if (!info.exists()) return nullptr;
    const LocalMacFileSystemItemFactory factory(*dependencyProvider_.businessFacade);
    return ObjCShare::make(info.isDir() ? factory.makeDirectory(localPath) : factory.makeFile(localPath));
}
