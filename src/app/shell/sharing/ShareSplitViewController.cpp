#include "app/shell/sharing/ShareSplitViewController.h"

#include <QListWidget>
#include <QSignalBlocker>
#include <QSplitter>
#include <QToolBar>

#include "app/core/AppError.h"
#include "app/sharing/ObjCShare.h"
#include "app/sharing/ShareController.h"
#include "app/sharing/ShareDataSource.h"
#include "app/shell/controls/ToolbarItem.h"
#include "app/shell/sharing/ShareInfoViewController.h"

namespace {

bool hasInvokable(const QObject* object, const QByteArray& action) {
    return object && object->metaObject()->indexOfMethod(action + "(QObject*)") >= 0;
}

}  // namespace

ShareSplitViewController::ShareSplitViewController(QObject* parent)
    : ShareSplitViewController(std::make_unique<ShareController>(), parent) {}

ShareSplitViewController::ShareSplitViewController(std::unique_ptr<ShareController> shareController, QObject* parent)
    : QObject(parent), shareController_(std::move(shareController)), inspector_(new ShareInfoViewController(this)) {}

ShareSplitViewController::~ShareSplitViewController() {
    delete inspector_;
    delete view_.data();
}

QWidget* ShareSplitViewController::view() {
    if (view_) return view_;
    view_ = new QSplitter(Qt::Horizontal);
    view_->setObjectName(QStringLiteral("ShareSplitView"));
    listView_ = new QListWidget;
    listView_->setObjectName(QStringLiteral("sharesList"));
    listView_->setIconSize(QSize(24, 24));
    view_->addWidget(listView_);
    view_->addWidget(inspector_->view());
    view_->setStretchFactor(0, 2);
    view_->setStretchFactor(1, 3);
    connect(listView_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (dataSource_ && row >= 0) dataSource_->setSelectionIndexes({row});
    });
    return view_;
}

void ShareSplitViewController::setRepresentedObject(ShareDataSource* dataSource) {
    for (const auto& observation : observations_) disconnect(observation);
    observations_.clear();
    dataSource_ = dataSource;
    passOnToChildren();
    if (!dataSource) return;
    observations_.push_back(connect(dataSource, &ShareDataSource::sharesChanged, this, [this] { showShares(); }));
    observations_.push_back(
        connect(dataSource, &ShareDataSource::selectionIndexesChanged, this, [this] { showShares(); }));
}

void ShareSplitViewController::passOnToChildren() {
    inspector_->setShareController(shareController_.get());
    inspector_->setRepresentedObject(dataSource_);
}

void ShareSplitViewController::showShares() {
    if (!view_ || !dataSource_) return;
    const QSignalBlocker blocker(listView_);
    const auto& shares = dataSource_->shares();
    if (listView_->count() != int(shares.size())) {
        listView_->clear();
        for (const auto& share : shares) listView_->addItem(new QListWidgetItem(share->image(), share->name()));
    }
    const auto& selection = dataSource_->selectionIndexes();
    listView_->setCurrentRow(selection.empty() ? -1 : *selection.begin());
}

void ShareSplitViewController::viewWillAppear() { reload(); }

void ShareSplitViewController::refreshShares(QObject*) { reload(); }

void ShareSplitViewController::reload() {
    if (isUpdatingSharedItems_) return;
    if (!dataSource_) setRepresentedObject(new ShareDataSource(this));
    ShareDataSource* dataSource = dataSource_;
    isUpdatingSharedItems_ = true;
    dataSource->setSelectionIndexes({});
    dataSource->setShares({});
    dataSource->setIsEmpty(true);
    dataSource->setIsLoading(true);
    QPointer<ShareSplitViewController> self(this);
    QPointer<ShareDataSource> source(dataSource);
    shareController_->sharedItems([self, source](std::optional<ShareController::Shares> shares,
                                                 std::optional<AppError> error) {
        if (source) {
            if (shares) {
                for (const auto& share : *shares) {
                    ShareDataSource::Shares now = source->shares();
                    now.push_back(share);
                    source->setShares(std::move(now));
                    source->setIsEmpty(false);
                }
                if (!shares->empty()) source->setSelectionIndexes({0});
            }
            // A failed load ends like an empty one, so the window never stays "loading".
            source->setIsLoading(false);
        }
        if (!self) return;
        self->isUpdatingSharedItems_ = false;
        if (self->view_)
            for (QToolBar* toolbar : self->view_->window()->findChildren<QToolBar*>()) ToolbarItem::validateItems(toolbar);
        if (error) presentError(*error);
    });
}

QObject* ShareSplitViewController::supplementalTargetForAction(const QByteArray& action) const {
    if (hasInvokable(inspector_, action)) return inspector_;
    return hasInvokable(this, action) ? const_cast<ShareSplitViewController*>(this) : nullptr;
}
