#include "app/shell/sharing/ShareInfoWindowController.h"

#include <QFileInfo>
#include <QPointer>
#include <QWidget>

#include "app/core/AppError.h"
#include "app/sharing/ObjCShare.h"
#include "app/sharing/ShareController.h"
#include "app/sharing/ShareDataSource.h"
#include "app/shell/sharing/ShareInfoViewController.h"
#include "frameworks/business/BusinessFacade.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/MainQueue.h"

namespace {

// A link made and still not found by the lookup that follows is made once more, then the user
// is asked: a link whose path does not lead back to the item would otherwise be made forever.
constexpr int maximumCreations = 2;

}  // namespace

ShareInfoWindowController::ShareInfoWindowController(QObject* parent)
    : ShareWindowController(parent), dataSource_(new ShareDataSource(this)) {}

ShareInfoWindowController::~ShareInfoWindowController() = default;

QObject* ShareInfoWindowController::makeContentViewController() { return new ShareInfoViewController; }

QWidget* ShareInfoWindowController::contentView() { return inspector()->view(); }

ShareInfoViewController* ShareInfoWindowController::inspector() const {
    return static_cast<ShareInfoViewController*>(contentViewController());
}

void ShareInfoWindowController::setShareController(std::unique_ptr<ShareController> controller) {
    shareController_ = std::move(controller);
}

ShareInfoWindowController::FailureAlert ShareInfoWindowController::failureAlert(const AppError& error) {
    LocalizationController texts;
    const FailureAlert generic{texts.shItemAlertUnableToShareItemGenericMessage(),
                               texts.shItemAlertUnableToShareItemGenericInformative(), false};
    const BusinessError* business = error.businessError();
    if (!business) return generic;
    const auto describedOrGeneric = [&] {
        const auto presented = error.presentedTexts();
        FailureAlert alert = generic;
        if (presented && !presented->description.isEmpty()) alert.informative = presented->description;
        return alert;
    };
    const bool handled = error.errorCase() == AppError::Case::handledBusinessError;
    const auto api = business->kind == BusinessError::Kind::api ? business->apiError : std::nullopt;
    if (handled && api == APIError::notFound)
        return {texts.shItemAlertRetryShareMessage(), texts.shItemAlertRetryShareInformative(), true};
    if (!handled) return describedOrGeneric();
    if (business->kind == BusinessError::Kind::noConnection)
        return {texts.shItemAlertNoInternetConnectionMessage(), texts.shItemAlertNoInternetConnectionInformative(), true};
    if (api == APIError::forbidden && business->message.isEmpty())
        return {texts.shItemAlertForbiddenMessage(), texts.shItemAlertForbiddenInformative(), false};
    if (api == APIError::requestEntityTooLarge)
        return {texts.shItemAlertPathTooLongMessage(), texts.shItemAlertPathTooLongInformative(), false};
    return describedOrGeneric();
}

ShareInfoWindowController::FailureAlert ShareInfoWindowController::creationFailureAlert(const AppError& error) {
    // Only an item the online storage holds gets a link: not found there, it has not been synced.
    const BusinessError* business = error.businessError();
    if (error.errorCase() == AppError::Case::handledBusinessError && business->kind == BusinessError::Kind::api &&
        business->apiError == APIError::notFound)
        return notSyncedAlert();
    return failureAlert(error);
}

ShareInfoWindowController::FailureAlert ShareInfoWindowController::notSyncedAlert() {
    LocalizationController texts;
    return {texts.shItemAlertUnableToShareNonSyncedItemMessage(), texts.shItemAlertUnableToShareNonSyncItemInformative(),
            false};
}

void ShareInfoWindowController::loadShare(const QString& path, std::function<void()> completion) {
    load(path, std::move(completion), 0);
}

void ShareInfoWindowController::load(const QString& path, std::function<void()> completion, int creations) {
    if (!shareController_) shareController_ = std::make_unique<ShareController>();
    window();
    if (!isWired_) {
        isWired_ = true;
        inspector()->setShareController(shareController_.get());
        inspector()->setDelegate(this);
        inspector()->setRepresentedObject(dataSource_);
    }
    dataSource_->setSelectionIndexes({});
    dataSource_->setShares({});
    dataSource_->setIsEmpty(true);
    dataSource_->setIsLoading(true);
    QPointer<ShareInfoWindowController> self(this);
    shareController_->sharedItem(path, [self, path, completion, creations](ShareController::Lookup lookup) {
        if (!self) return;
        if (lookup.share) {
            self->dataSource_->setShares({lookup.share});
            self->dataSource_->setIsEmpty(false);
            self->dataSource_->setSelectionIndexes({0});
            self->dataSource_->setIsLoading(false);
            if (completion) completion();
            return;
        }
        // A lookup that failed says nothing about the link: making one could make a second.
        if (lookup.error) return self->showAlert(failureAlert(*lookup.error), path, completion);
        if (self->isUnsyncedFile(path)) return self->showAlert(notSyncedAlert(), path, completion);
        if (creations >= maximumCreations) {
            LocalizationController texts;
            return self->showAlert({texts.shItemAlertRetryShareMessage(), texts.shItemAlertRetryShareInformative(), true},
                                   path, completion);
        }
        self->createShare(path, completion, creations);
    });
}

bool ShareInfoWindowController::isUnsyncedFile(const QString& path) const {
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink()) return false;
    BusinessFacade* facade = shareController_->dependencyProvider().businessFacade;
    SyncFacade* sync = facade ? facade->syncFacade() : nullptr;
    if (!sync) return false;
    const OVItemSyncStatus status = sync->itemSyncStatus(path);
    return status == OVItemSyncStatus::error || status == OVItemSyncStatus::syncing;
}

void ShareInfoWindowController::createShare(const QString& path, std::function<void()> completion, int creations) {
    const std::shared_ptr<ObjCShare> share = shareController_->makeShare(path);
    if (!share) {
        LocalizationController texts;
        // Moved or deleted since it was picked: no later try can share it where it was.
        if (!QFileInfo::exists(path))
            return showAlert({texts.shItemAlertItemNotFoundMessage(), texts.shItemAlertItemNotFoundInformative(), false},
                             path, completion);
        return showAlert({texts.shItemAlertUnableToShareItemGenericMessage(),
                          texts.shItemAlertUnableToShareItemGenericInformative(), false},
                         path, completion);
    }
    QPointer<ShareInfoWindowController> self(this);
    shareController_->shareLink(share, [self, path, completion, creations](std::optional<QUrl>, std::optional<AppError> error) {
        if (!self) {
            if (completion) completion();
            return;
        }
        if (error) return self->showAlert(creationFailureAlert(*error), path, completion);
        self->load(path, completion, creations + 1);
    });
}

void ShareInfoWindowController::showAlert(const FailureAlert& failure, const QString& path, std::function<void()> completion) {
    dataSource_->setIsLoading(false);
    Alert alert;
    alert.setMessageText(failure.message);
    alert.setInformativeText(failure.informative);
    if (failure.offersRetry) {
        LocalizationController texts;
        alert.addButton(texts.shItemButtonRetryShareRetry());
        alert.addButton(texts.shItemButtonRetryShareCancel());
    }
    QPointer<ShareInfoWindowController> self(this);
    const bool retry = failure.offersRetry;
    alert.beginSheetModal(window(), [self, retry, path, completion](int response) {
        if (!self) return;
        if (retry && response == Alert::FirstButtonReturn) return self->loadShare(path, completion);
        self->closeWindow();
    });
    if (completion) completion();
}

void ShareInfoWindowController::closeWindow() {
    QPointer<ShareInfoWindowController> self(this);
    MainQueue::async([self] {
        if (self) self->close();
    });
}
