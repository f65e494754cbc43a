#include "app/shell/sharing/ShareInfoViewController.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

#include "app/common/LogChannels.h"
#include "app/core/AppError.h"
#include "app/sharing/ObjCShare.h"
#include "app/sharing/ObjCShareInfo.h"
#include "app/sharing/ShareController.h"
#include "app/sharing/ShareDataSource.h"
#include "app/sharing/ShareDownloadTransformer.h"
#include "app/sharing/ShareLimitTitles.h"
#include "app/shell/controls/ToolbarItem.h"
#include "app/shell/sharing/ShareInfoPasswordViewController.h"
#include "app/shell/sharing/ShareItemViewController.h"
#include "app/shell/sharing/ShareServiceMail.h"
#include "app/shell/sharing/ShareWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/ColumnBrowser.h"
#include "platform/appkit/Storyboard.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/MainQueue.h"

namespace {

constexpr std::int64_t unlimited = OVFacadeConstants::unlimitedValue;

// Sorted, with `current` added when it is a real limit not offered yet, and "unlimited" first.
std::vector<std::int64_t> choices(std::vector<std::int64_t> fixed, std::optional<std::int64_t> current) {
    if (current && std::find(fixed.begin(), fixed.end(), *current) == fixed.end()) {
        fixed.push_back(*current);
        std::sort(fixed.begin(), fixed.end());
    }
    fixed.insert(fixed.begin(), unlimited);
    return fixed;
}

void fill(QComboBox* popUp, const std::vector<std::int64_t>& limits, const QString& unlimitedTitle) {
    const QSignalBlocker blocker(popUp);
    popUp->clear();
    QVariantList values;
    for (std::int64_t limit : limits) values << QVariant::fromValue<qint64>(limit);
    popUp->addItems(shareLimitTitles(values, unlimitedTitle).toStringList());
}

void select(QComboBox* popUp, const QVariant& index) {
    const QSignalBlocker blocker(popUp);
    popUp->setCurrentIndex(index.isValid() ? int(index.toLongLong()) : -1);
}

}  // namespace

ShareInfoViewController::ShareInfoViewController(QObject* parent) : QObject(parent) {
    copiedFeedback_.setSingleShot(true);
    copiedFeedback_.setInterval(1500);
    connect(&copiedFeedback_, &QTimer::timeout, this, &ShareInfoViewController::endCopiedFeedback);
}

void ShareInfoViewController::endCopiedFeedback() {
    copiedFeedback_.stop();
    if (copyButton_) copyButton_->setText(localizationController_.shItemButtonCopy());
}

ShareInfoViewController::~ShareInfoViewController() {
    for (const auto& observation : observations_) disconnect(observation);
    delete view_.data();
}

QWidget* ShareInfoViewController::view() {
    if (!view_) loadView();
    return view_;
}

void ShareInfoViewController::loadView() {
    view_ = new QWidget;
    view_->setObjectName(QStringLiteral("ShareInfoView"));
    view_->setProperty(ResponderChain::viewControllerProperty, QVariant::fromValue<QObject*>(this));
    auto* outer = new QVBoxLayout(view_);
    tabView_ = new QStackedWidget(view_);
    outer->addWidget(tabView_);

    auto* loading = new QLabel(localizationController_.shItemLabelLoading());
    loading->setAlignment(Qt::AlignCenter);
    tabView_->addWidget(loading);

    auto* empty = new QWidget;
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch();
    auto* emptyTitle = new QLabel(QStringLiteral("<b>%1</b>").arg(localizationController_.shItemLabelNoSharedItemsTitle()));
    auto* emptyText = new QLabel(localizationController_.shItemLabelNoSharedItemsDescription());
    for (QLabel* label : {emptyTitle, emptyText}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        emptyLayout->addWidget(label);
    }
    emptyLayout->addStretch();
    tabView_->addWidget(empty);

    auto* main = new QWidget;
    auto* layout = new QVBoxLayout(main);
    auto* header = new QHBoxLayout;
    imageView_ = new QLabel;
    imageView_->setFixedSize(48, 48);
    nameLabel_ = new QLabel;
    nameLabel_->setWordWrap(true);
    QFont bold = nameLabel_->font();
    bold.setBold(true);
    nameLabel_->setFont(bold);
    header->addWidget(imageView_);
    header->addWidget(nameLabel_, 1);
    layout->addLayout(header);

    auto* linkRow = new QHBoxLayout;
    linkRow->addWidget(new QLabel(localizationController_.shItemLabelLink()));
    urlField_ = new QLineEdit;
    urlField_->setReadOnly(true);
    urlField_->setObjectName(QStringLiteral("urlField"));
    linkRow->addWidget(urlField_, 1);
    copyButton_ = new QPushButton(localizationController_.shItemButtonCopy());
    copyButton_->setObjectName(QStringLiteral("copyButton"));
    // Wide enough for either title, so the row does not jump when it says the link was copied.
    copyButton_->setMinimumWidth(std::max(copyButton_->fontMetrics().horizontalAdvance(localizationController_.shItemButtonCopied()),
                                          copyButton_->fontMetrics().horizontalAdvance(localizationController_.shItemButtonCopy())) +
                                 32);
    connect(copyButton_, &QPushButton::clicked, this, [this] { copy(); });
    auto* againButton = new QPushButton(localizationController_.shItemButtonShareAgain());
    connect(againButton, &QPushButton::clicked, this, [this] { refreshShareLink(); });
    linkRow->addWidget(copyButton_);
    linkRow->addWidget(againButton);
    layout->addLayout(linkRow);
    downloadsLabel_ = new QLabel;
    layout->addWidget(downloadsLabel_);

    passwordButton_ = new QPushButton(localizationController_.shItemButtonSetPassword());
    connect(passwordButton_, &QPushButton::clicked, this, [this] { showPasswordSheet(passwordButton_); });
    disclosureButton_ = new QToolButton;
    disclosureButton_->setText(localizationController_.shItemButtonAdvancedOptions());
    disclosureButton_->setCheckable(true);
    disclosureButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    disclosureButton_->setArrowType(Qt::RightArrow);
    connect(disclosureButton_, &QToolButton::clicked, this, [this] { toggleAdvancedOptions(disclosureButton_); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(disclosureButton_);
    buttons->addStretch();
    buttons->addWidget(passwordButton_);
    layout->addLayout(buttons);

    containerView_ = new QWidget;
    auto* grid = new QGridLayout(containerView_);
    daysValidTextField_ = new QLabel(localizationController_.shItemLabelDaysValid());
    daysValidPopUpButton_ = new QComboBox;
    maxDownloadsTextField_ = new QLabel(localizationController_.shItemLabelMaximumDownloads());
    maxDownloadsPopUpButton_ = new QComboBox;
    writeAccessButton_ = new QCheckBox(localizationController_.shItemCheckBoxWriteAccess());
    writeAccessDescriptionTextField_ = new QLabel(localizationController_.shItemLabelWriteAccessDescription());
    writeAccessDescriptionTextField_->setWordWrap(true);
    // Top to bottom: validity, then the download limit (files) or write access (folders).
    grid->addWidget(daysValidTextField_, 0, 0);
    grid->addWidget(daysValidPopUpButton_, 0, 1);
    grid->addWidget(maxDownloadsTextField_, 1, 0);
    grid->addWidget(maxDownloadsPopUpButton_, 1, 1);
    grid->addWidget(writeAccessButton_, 2, 1);
    grid->addWidget(writeAccessDescriptionTextField_, 3, 1);
    containerView_->setVisible(false);
    layout->addWidget(containerView_);
    layout->addStretch();
    tabView_->addWidget(main);

    connect(daysValidPopUpButton_, &QComboBox::activated, this, [this](int index) {
        if (!currentShareInfo_) return;
        const qint64 seconds = ttlTransformer_.reverseTransformedValue(QVariant::fromValue<qint64>(index)).toLongLong();
        if (seconds == -1 && index >= 0 && std::size_t(index) >= daysValidLimits_.size()) return;
        currentShareInfo_->setTtl(double(seconds));
        daysValidLimitChanged(daysValidPopUpButton_);
    });
    connect(maxDownloadsPopUpButton_, &QComboBox::activated, this, [this](int index) {
        if (!currentShareInfo_ || index < 0 || std::size_t(index) >= maxDownloadLimits_.size()) return;
        currentShareInfo_->setMaxDownloads(
            maxDownloadsTransformer_.reverseTransformedValue(QVariant::fromValue<qint64>(index)).toLongLong());
        maxDownloadLimitChanged(maxDownloadsPopUpButton_);
    });
    connect(writeAccessButton_, &QCheckBox::clicked, this, [this](bool checked) {
        if (!currentShareInfo_) return;
        currentShareInfo_->setIsWritable(checked);
        writeAccessButtonChanged(writeAccessButton_);
    });
    selectTab(tab_);
}

void ShareInfoViewController::selectTab(Tab tab) {
    tab_ = tab;
    if (tabView_) tabView_->setCurrentIndex(int(tab));
}

void ShareInfoViewController::setRepresentedObject(ShareDataSource* dataSource) {
    for (const auto& observation : observations_) disconnect(observation);
    observations_.clear();
    dataSource_ = dataSource;
    if (!dataSource) return;
    observations_.push_back(connect(dataSource, &ShareDataSource::isEmptyChanged, this, [this] {
        selectTab(dataSource_->isEmpty() ? Tab::noSelection : Tab::main);
    }));
    observations_.push_back(connect(dataSource, &ShareDataSource::isLoadingChanged, this, [this] {
        if (dataSource_->isLoading()) selectTab(Tab::loading);
        else if (dataSource_->shares().empty()) selectTab(Tab::noSelection);
    }));
    observations_.push_back(
        connect(dataSource, &ShareDataSource::selectionIndexesChanged, this, [this] { selectionChanged(); }));
}

std::shared_ptr<ObjCShare> ShareInfoViewController::selectedShare() const {
    if (!dataSource_ || dataSource_->selectionIndexes().empty()) return nullptr;
    const int index = *dataSource_->selectionIndexes().begin();
    if (index < 0 || std::size_t(index) >= dataSource_->shares().size()) return nullptr;
    return dataSource_->shares()[std::size_t(index)];
}

void ShareInfoViewController::selectionChanged() {
    const std::shared_ptr<ObjCShare> share = selectedShare();
    if (!share) return;
    view();
    if (share->shareInfo()) {
        // An edit left unsaved on the share shown before goes back to what the service has.
        revertChanges();
        // The share's own info object is edited; the copy tells what changed.
        currentShareInfo_ = share->sharedShareInfo();
        unmodifiedShareInfo_ = currentShareInfo_->copy();
        buildDaysValidLimits();
        buildMaxDownloadLimits();
        showRowsFor(*share);
        emit currentShareInfoChanged();
    }
    name_ = share->name();
    nameLabel_->setText(*name_);
    imageView_->setPixmap(share->image().pixmap(48, 48));
    const bool expired = share->shareInfo() && share->shareInfo()->isExpired();
    isCurrentShareExpired_ = expired;
    if (expired) {
        setUrl(localizationController_.shItemLabelShareAlreadyExpired());
        if (!isCollapsed_) toggleAdvancedOptions(this);
    } else {
        setUrl(std::nullopt);
        fetchLink(share, false);
    }
    updateControls();
    validateWindowToolbar();
}

void ShareInfoViewController::fetchLink(const std::shared_ptr<ObjCShare>& share, bool thenRefreshList) {
    if (!shareController_) return;
    QPointer<ShareInfoViewController> self(this);
    shareController_->shareLink(share, [self, share, thenRefreshList](std::optional<QUrl> link, std::optional<AppError>) {
        if (!self) return;
        // An answer for a share that is no longer shown must not replace the shown link.
        if (self->selectedShare() == share)
            self->setUrl(link ? std::optional<QString>(link->toString()) : std::nullopt);
        if (!thenRefreshList) return;
        // Only a shared-items list reloads; the one-item window has none to refresh.
        QWidget* from = self->view();
        if (ToolbarItem::targetForAction("refreshShares", nullptr, from))
            ResponderChain::sendAction("refreshShares", self, from);
    });
}

void ShareInfoViewController::setUrl(std::optional<QString> url) {
    url_ = std::move(url);
    if (urlField_) {
        urlField_->setText(url_.value_or(QString()));
        // A link is told by its start; the end of a long one is a token nobody reads.
        urlField_->setCursorPosition(0);
        urlField_->setToolTip(url_.value_or(QString()));
    }
    // "Copied" spoke of the link shown before.
    endCopiedFeedback();
    emit urlChanged();
}

void ShareInfoViewController::buildDaysValidLimits() {
    if (!currentShareInfo_) {
        daysValidLimits_.clear();
        return;
    }
    const double ttl = currentShareInfo_->ttl();
    std::optional<std::int64_t> current;
    const std::int64_t days = ShareInfoTtlTransformer::daysFromTimeToLive(ttl);
    if (std::int64_t(ttl) != unlimited && days >= 1) current = days;
    daysValidLimits_ = choices({1, 3, 5, 7, 10, 30, 60, 90}, current);
    ttlTransformer_.setDaysValidLimits(daysValidLimits_);
    if (daysValidPopUpButton_)
        fill(daysValidPopUpButton_, daysValidLimits_, localizationController_.shItemMenuItemDaysValidUnlimited());
}

void ShareInfoViewController::buildMaxDownloadLimits() {
    if (!currentShareInfo_) {
        maxDownloadLimits_.clear();
        return;
    }
    // The menu offers and writes the maximum; what is left of it is a count, shown beside it.
    const std::int64_t maximum = currentShareInfo_->maxDownloads();
    maxDownloadLimits_ = choices({1, 3, 5, 10, 50, 100, 200, 1000},
                                 maximum == unlimited ? std::nullopt : std::optional<std::int64_t>(maximum));
    maxDownloadsTransformer_.setMaxDownloadLimits(maxDownloadLimits_);
    if (maxDownloadsPopUpButton_)
        fill(maxDownloadsPopUpButton_, maxDownloadLimits_, localizationController_.shItemMenuItemMaximumDownloadsUnlimited());
}

void ShareInfoViewController::revertChanges() {
    if (!unmodifiedShareInfo_ || !currentShareInfo_) return;
    currentShareInfo_->setTtl(unmodifiedShareInfo_->ttl());
    currentShareInfo_->setMaxDownloads(unmodifiedShareInfo_->maxDownloads());
    currentShareInfo_->setIsWritable(unmodifiedShareInfo_->isWritable());
    updateControls();
}

void ShareInfoViewController::showRowsFor(const ObjCShare& share) {
    view();
    const bool folder = share.isDirectoryShare();
    maxDownloadsTextField_->setVisible(!folder);
    maxDownloadsPopUpButton_->setVisible(!folder);
    writeAccessButton_->setVisible(folder);
    writeAccessDescriptionTextField_->setVisible(folder);
}

void ShareInfoViewController::updateControls() {
    if (!view_ || !currentShareInfo_) return;
    select(daysValidPopUpButton_, ttlTransformer_.transformedValue(currentShareInfo_->ttl()));
    select(maxDownloadsPopUpButton_, maxDownloadsTransformer_.transformedValue(QVariant::fromValue<qint64>(currentShareInfo_->maxDownloads())));
    {
        const QSignalBlocker blocker(writeAccessButton_);
        writeAccessButton_->setChecked(currentShareInfo_->isWritable());
    }
    const std::shared_ptr<ObjCShare> share = selectedShare();
    const bool file = share && !share->isDirectoryShare();
    downloadsLabel_->setVisible(file);
    if (file) downloadsLabel_->setText(ShareDownloadTransformer().transformedValue(QVariant::fromValue(currentShareInfo_.get())).toString());
    passwordButton_->setText(currentShareInfo_->isPasswordProtected() ? localizationController_.shItemButtonChangePassword()
                                                                      : localizationController_.shItemButtonSetPassword());
}

bool ShareInfoViewController::hasChanges() const {
    if (!currentShareInfo_ || !unmodifiedShareInfo_) return false;
    return currentShareInfo_->ttl() != unmodifiedShareInfo_->ttl() ||
           currentShareInfo_->maxDownloads() != unmodifiedShareInfo_->maxDownloads() ||
           currentShareInfo_->isWritable() != unmodifiedShareInfo_->isWritable();
}

void ShareInfoViewController::refreshShareLink(QObject*) {
    const std::shared_ptr<ObjCShare> share = selectedShare();
    if (!share) return;
    setUrl(std::nullopt);
    fetchLink(share, true);
}

void ShareInfoViewController::toggleAdvancedOptions(QObject* sender) {
    view();
    isCollapsed_ = !isCollapsed_;
    containerView_->setVisible(!isCollapsed_);
    disclosureButton_->setArrowType(isCollapsed_ ? Qt::RightArrow : Qt::DownArrow);
    // The button has already changed its own state when it was the one pressed.
    if (sender != disclosureButton_) disclosureButton_->setChecked(!isCollapsed_);
}

void ShareInfoViewController::daysValidLimitChanged(QObject*) { saveChanges(); }
void ShareInfoViewController::maxDownloadLimitChanged(QObject*) { saveChanges(); }
void ShareInfoViewController::writeAccessButtonChanged(QObject*) { saveChanges(); }

void ShareInfoViewController::saveChanges() {
    const std::shared_ptr<ObjCShare> share = selectedShare();
    if (!share || !currentShareInfo_ || !hasChanges() || !shareController_) return;
    QPointer<ShareInfoViewController> self(this);
    shareController_->updateShare(
        share, currentShareInfo_->maxDownloads(), std::nullopt, currentShareInfo_->isWritable(), currentShareInfo_->ttl(),
        [self, share](ShareController::UpdateResult result) {
            if (!self) return;
            if (const auto* error = std::get_if<AppError>(&result)) {
                self->revertChanges();
                presentError(*error);
                return;
            }
            auto info = std::make_shared<ObjCShareInfo>(std::get<ShareInfo>(result));
            share->setShareInfo(info);
            if (self->selectedShare() != share) return;
            self->currentShareInfo_ = info;
            self->unmodifiedShareInfo_ = info->copy();
            self->updateControls();
            emit self->currentShareInfoChanged();
        });
}

void ShareInfoViewController::copy(QObject*) {
    // The expired text is no link: nothing to hand on.
    if (!url_ || isCurrentShareExpired_) {
        QApplication::beep();
        return;
    }
    QGuiApplication::clipboard()->setText(*url_);
    // The clipboard shows nothing of itself: the button says it for a moment.
    if (!copyButton_) return;
    copyButton_->setText(localizationController_.shItemButtonCopied());
    copiedFeedback_.start();
}

void ShareInfoViewController::openShareInExternalBrowser(QObject*) {
    if (url_ && !isCurrentShareExpired_) Workspace::openUrlText(*url_);
}

void ShareInfoViewController::shareItem(QObject*) {
    const std::shared_ptr<ObjCShare> share = selectedShare();
    if (!name_ || !share || !url_ || isCurrentShareExpired_) return;
    const bool folder = share->isDirectoryShare();
    const QString subject =
        (folder ? localizationController_.shItemServiceSubjectDirectory() : localizationController_.shItemServiceSubjectFile()).arg(*name_);
    const QString body =
        (folder ? localizationController_.shItemServiceMessageBodyDirectory() : localizationController_.shItemServiceMessageBodyFile()).arg(*name_);
    Workspace::openUrl(ShareServiceMail::mailtoURL(subject, body, *url_));
}

void ShareInfoViewController::sendEmail(QObject*) {
    if (!shareItemViewController_) {
        shareItemViewController_ = Storyboard::instantiateAs<ShareItemViewController>(
            ShareWindowController::storyboardName, ShareItemViewController::storyboardIdentifier);
        if (!shareItemViewController_) {
            OVLOG_ERROR(AppLog::flow(), QStringLiteral("ShareItemViewController couldn't be instantiated…"));
            return;
        }
        shareItemViewController_->setParent(this);
    }
    const std::shared_ptr<ObjCShare> share = selectedShare();
    if (!share) return;
    shareItemViewController_->setShareController(shareController_);
    shareItemViewController_->setRepresentedObject(share);
    shareItemViewController_->presentAsSheet(view()->window());
}

void ShareInfoViewController::showPasswordSheet(QObject*) {
    const std::shared_ptr<ObjCShare> share = selectedShare();
    if (!share) return;
    delete passwordViewController_;
    passwordViewController_ = new ShareInfoPasswordViewController(this);
    passwordViewController_->setShareController(shareController_);
    passwordViewController_->setRepresentedObject(share);
    QPointer<ShareInfoViewController> self(this);
    connect(passwordViewController_, &ShareInfoPasswordViewController::dismissed, this, [self] {
        if (self) self->updateControls();
    });
    passwordViewController_->presentAsSheet(view()->window());
}

void ShareInfoViewController::removeShare(QObject*) {
    const std::shared_ptr<ObjCShare> share = selectedShare();
    QWidget* window = view_ ? view_->window() : nullptr;
    if (!window || !share) return;
    Alert alert;
    alert.setMessageText(localizationController_.shAlertDeleteShareMessage().arg(share->name()));
    alert.setInformativeText(localizationController_.shAlertDeleteShareInformative());
    // Removing a link cannot be undone: neither Return nor Escape may do it.
    alert.addButton(localizationController_.shAlertDeleteShareDelete()).setKeyEquivalent(QString());
    alert.addButton(localizationController_.shAlertDeleteShareCancel()).setKeyEquivalent(Alert::ReturnKey);
    QPointer<ShareInfoViewController> self(this);
    alert.beginSheetModal(window, [self, share](int response) {
        if (!self || response != Alert::FirstButtonReturn) return;
        OVLOG_INFO(AppLog::gui(), QStringLiteral("Remove Share"));
        if (!self->shareController_) return;
        self->shareController_->removeShare(share, [self, share](std::optional<AppError> error) {
            if (!self) return;
            if (error) {
                presentError(*error);
                return;
            }
            if (auto* window = qobject_cast<ShareWindowController*>(self->delegate_.data())) window->close();
            ShareDataSource* dataSource = self->dataSource_;
            if (!dataSource) return;
            ShareDataSource::Shares shares = dataSource->shares();
            const auto found = std::find(shares.begin(), shares.end(), share);
            if (found == shares.end()) return;
            const int index = int(found - shares.begin());
            shares.erase(found);
            const bool empty = shares.empty();
            dataSource->setShares(std::move(shares));
            dataSource->setIsEmpty(empty);
            dataSource->setSelectionIndexes(empty ? ShareDataSource::IndexSet{}
                                                  : ShareDataSource::IndexSet{std::min(index, int(dataSource->shares().size()) - 1)});
            if (!empty) return;
            MainQueue::async([self] {
                if (!self) return;
                self->validateWindowToolbar();
                self->selectTab(Tab::noSelection);
            });
        });
    });
}

bool ShareInfoViewController::isToolbarItemEnabled(const QString& identifier, bool hasShares, bool isCurrentShareExpired) {
    using W = ShareWindowController;
    if (identifier == W::deleteFull || identifier == W::deletePartial) return hasShares;
    for (const QString& linkItem : {W::openInBrowserFull, W::openInBrowserPartial, W::sendEmailFull, W::sendEmailPartial,
                                    W::shareItemFull, W::shareItemPartial})
        if (identifier == linkItem) return hasShares && !isCurrentShareExpired;
    return true;
}

bool ShareInfoViewController::validateToolbarItem(QObject* item) {
    auto* toolbarItem = qobject_cast<ToolbarItem*>(item);
    if (!toolbarItem) return true;
    const bool hasShares = dataSource_ && !dataSource_->shares().empty();
    return isToolbarItemEnabled(toolbarItem->itemIdentifier(), hasShares, isCurrentShareExpired_);
}

void ShareInfoViewController::validateWindowToolbar() {
    if (!view_) return;
    for (QToolBar* toolbar : view_->window()->findChildren<QToolBar*>())
        if (toolbar->isVisibleTo(view_->window())) ToolbarItem::validateItems(toolbar);
}
