#include "app/selectivesync/SelectiveSyncBrowserController.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QThreadPool>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/common/LocalizationController.h"
#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/RemotePath.h"
#include "app/core/SettingsController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/selectivesync/CheckboxBrowserCell.h"
#include "app/selectivesync/FileSystemNode.h"
#include "app/selectivesync/ObjCDirectoryNode.h"
#include "app/selectivesync/SelectiveSyncSizeCalculator.h"
#include "app/selectivesync/StoreController.h"
#include "frameworks/business/DirectoryHierarchyNode.h"
#include "frameworks/logger/LogChannel.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/MainQueue.h"

namespace {

const QString kRoot = QStringLiteral("/");

// A row whose content is still loading.
struct LoadingNode {};
// A row past the end of a level.
struct NullItem {};

QString lastPathComponent(const QString& path) {
    if (path == kRoot) return kRoot;
    const QString last = path.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    return last.isEmpty() ? path : last;
}

// The components as the file system splits a path: "/" first, then each name.
QStringList pathComponents(const QString& path) {
    QStringList components = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (path.startsWith(kRoot)) components.prepend(kRoot);
    return components;
}

// The path made of the first `count` components.
QString pathOfComponents(const QStringList& components, int count) {
    QString path;
    for (int i = 0; i < count && i < components.size(); ++i)
        path = i == 0 ? components[0] : SyncFolderPaths::appendingPathComponent(path, components[i]);
    return path;
}

// `path` is `ancestor` or lies below it, comparing whole components.
bool isSameOrBelow(const QString& path, const QString& ancestor) {
    if (path == ancestor) return true;
    const QString prefix = ancestor.endsWith(QLatin1Char('/')) ? ancestor : ancestor + QLatin1Char('/');
    return path.startsWith(prefix);
}

// The remote folder is known to hold no subfolders: its children were read and there are none.
bool isRemoteLeaf(const DirectoryHierarchyNode& remote) {
    const auto children = remote.children();
    return children.has_value() && children->empty();
}

QString describe(const std::vector<SelectiveSyncItem>& items) {
    QStringList parts;
    for (const SelectiveSyncItem& item : items)
        parts << QStringLiteral("SelectiveSyncItem(path: %1, recursive: %2, remoteIdentifier: %3)")
                     .arg(item.path, item.recursive ? QStringLiteral("true") : QStringLiteral("false"),
                          item.remoteIdentifier.isEmpty() ? QStringLiteral("nil") : item.remoteIdentifier);
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// The selection tree as it stands, copied so that the disk-space check can walk it on a worker
// thread while the store's nodes stay on the main thread.
class TreeSnapshot final : public SelectiveSyncSizeCalculatorNode {
public:
    explicit TreeSnapshot(const SelectiveSyncSizeCalculatorNode& node)
        : path_(node.cachedRelativePath()), state_(node.syncState()) {
        for (const SelectiveSyncSizeCalculatorNode* child : node.sizeCalculatorChildren())
            if (child) children_.push_back(std::make_unique<TreeSnapshot>(*child));
    }
    std::optional<QString> cachedRelativePath() const override { return path_; }
    std::int16_t syncState() const override { return state_; }
    std::vector<const SelectiveSyncSizeCalculatorNode*> sizeCalculatorChildren() const override {
        std::vector<const SelectiveSyncSizeCalculatorNode*> children;
        children.reserve(children_.size());
        for (const auto& child : children_) children.push_back(child.get());
        return children;
    }

private:
    std::optional<QString> path_;
    std::int16_t state_;
    std::vector<std::unique_ptr<TreeSnapshot>> children_;
};

struct RemoteItemSnapshot final : SelectiveSyncSizeCalculatorRemoteItem {
    explicit RemoteItemSnapshot(std::shared_ptr<DirectoryHierarchyNode> node) : node_(std::move(node)) {}
    std::shared_ptr<DirectoryHierarchyNode> directoryNode() const override { return node_; }
    std::shared_ptr<DirectoryHierarchyNode> node_;
};

// Clicking a tri-state box goes between on and off; mixed is only ever set from the selection.
class SelectAllCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }
};

Qt::CheckState checkState(int state) {
    return state > 0 ? Qt::Checked : state < 0 ? Qt::PartiallyChecked : Qt::Unchecked;
}

void showNoConnectionAlert(QWidget* window) {
    LocalizationController texts;
    auto alert = std::make_shared<Alert>();
    alert->setMessageText(texts.raAlertNoConnectionMessage());
    alert->setInformativeText(texts.raAlertNoConnectionInformative());
    alert->addButton(texts.raAlertButtonNoConnectionOK());
    QPointer<QWidget> target(window);
    MainQueue::async([alert, target] { alert->beginSheetModal(target.data(), [alert](int) {}); });
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Life cycle and view

SelectiveSyncBrowserController::SelectiveSyncBrowserController(std::shared_ptr<StoreController> store, QObject* parent)
    : QObject(parent), store_(store ? std::move(store) : StoreController::sharedPointer()),
      reachability_(std::make_unique<ReachabilityController>()) {}

SelectiveSyncBrowserController::~SelectiveSyncBrowserController() {
    reachability_->setDelegate(nullptr);
    if (view_) {
        view_->removeEventFilter(this);
        if (browser_) browser_->setDelegate(nullptr);
        delete view_.data();
    }
}

QWidget* SelectiveSyncBrowserController::view() {
    if (!view_) {
        loadView();
        viewDidLoad();
    }
    return view_;
}

void SelectiveSyncBrowserController::loadView() {
    LocalizationController texts;
    auto* view = new QWidget;
    view->setProperty(ResponderChain::viewControllerProperty, QVariant::fromValue<QObject*>(this));
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(8);

    auto* top = new QWidget(view);
    auto* topLayout = new QHBoxLayout(top);
    auto* selectAll = new SelectAllCheckBox(texts.ssCheckBoxSyncAllFolders(), top);
    selectAll->setTristate(true);
    auto* refresh = new QToolButton(top);
    refresh->setIcon(refresh->style()->standardIcon(QStyle::SP_BrowserReload));
    refresh->setAutoRaise(true);
    topLayout->addWidget(selectAll);
    topLayout->addStretch(1);
    topLayout->addWidget(refresh);
    layout->addWidget(top);

    auto* browser = new ColumnBrowser(view);
    browser->setMinimumSize(480, 240);
    layout->addWidget(browser, 1);

    auto* empty = new QFrame(view);
    empty->setFrameShape(QFrame::StyledPanel);
    auto* emptyLayout = new QVBoxLayout(empty);
    auto* emptyLabel = new QLabel(texts.ssLabelNoFoldersToSelect(), empty);
    emptyLabel->setAlignment(Qt::AlignCenter);
    emptyLayout->addWidget(emptyLabel);
    empty->setMinimumSize(480, 240);
    empty->hide();
    layout->addWidget(empty, 1);

    view_ = view;
    topStackView_ = top;
    selectAllFoldersCheckbox_ = selectAll;
    refreshButton_ = refresh;
    browser_ = browser;
    emptyView_ = empty;

    connect(selectAll, &QCheckBox::clicked, this, [this, selectAll] { toggleSelectAllFolders(selectAll); });
    connect(refresh, &QToolButton::clicked, this, [this, refresh] { refreshSelectiveSyncBrowser(refresh); });
    view->installEventFilter(this);
}

void SelectiveSyncBrowserController::viewDidLoad() {
    browser_->setCellPrototype(std::make_unique<CheckboxBrowserCell>());
    browser_->setSendsActionOnArrowKeys(false);
    browser_->setDelegate(this);
    browser_->setAction([this] { doClick(browser_); });
    reachability_->setDelegate(this);
    // The insets of the current desktop layout.
    topStackView_->layout()->setContentsMargins(19, 0, 19, 0);
}

void SelectiveSyncBrowserController::viewDidAppear() {
    viewVisible_ = true;
}

void SelectiveSyncBrowserController::viewDidDisappear() {
    viewVisible_ = false;
    resetCaches();
    if (browser_) browser_->loadColumnZero();
}

bool SelectiveSyncBrowserController::eventFilter(QObject* watched, QEvent* event) {
    // A minimized window hides its widgets spontaneously; only a real appearance counts.
    if (watched == view_ && !event->spontaneous()) {
        if (event->type() == QEvent::Show) viewDidAppear();
        else if (event->type() == QEvent::Hide) viewDidDisappear();
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Small state

QString SelectiveSyncBrowserController::cacheKey(const QString& path) {
    const QString encoded = RemotePath::percentEncoded(path);
    return encoded.isEmpty() && !path.isEmpty() ? path : encoded;
}

bool SelectiveSyncBrowserController::isConnected() const { return reachability_->isConnected(); }

std::vector<SelectiveSyncItem> SelectiveSyncBrowserController::currentSubscriptions() const {
    if (SyncFacade* sync = BusinessFacadeHolder::facade().syncFacade()) return sync->subscriptions();
    return {};
}

void SelectiveSyncBrowserController::beginUpdating() {
    if (updatingCount_++ == 0) emit isUpdatingChanged();
}

void SelectiveSyncBrowserController::endUpdating() {
    if (updatingCount_ == 0) return;
    if (--updatingCount_ == 0) emit isUpdatingChanged();
}

void SelectiveSyncBrowserController::setHasChanges(bool value) {
    if (hasChanges_ == value) return;
    hasChanges_ = value;
    emit hasChangesChanged();
}

std::shared_ptr<FileSystemNode> SelectiveSyncBrowserController::nodeOfItem(const std::any& item) {
    if (const auto* node = std::any_cast<std::shared_ptr<FileSystemNode>>(&item)) return *node;
    return nullptr;
}

bool SelectiveSyncBrowserController::isLoadingItem(const std::any& item) {
    return std::any_cast<LoadingNode>(&item) != nullptr;
}

bool SelectiveSyncBrowserController::isNullItem(const std::any& item) { return std::any_cast<NullItem>(&item) != nullptr; }

// ---------------------------------------------------------------------------------------------
// Data source

std::any SelectiveSyncBrowserController::rootItem(ColumnBrowser&) {
    if (!isConnected()) return {};
    if (cachedLocalRootNode_ && cachedDirectoryNodes_.contains(cacheKey(kRoot))) return cachedLocalRootNode_;
    if (loadingChildrenNodes_.value(cacheKey(kRoot), false)) return LoadingNode{};
    loadRootLevel();
    return NullItem{};
}

int SelectiveSyncBrowserController::numberOfChildren(ColumnBrowser&, const std::any& item) {
    if (!isConnected()) return 0;
    const auto node = nodeOfItem(item);
    const auto path = node ? node->cachedRelativePath() : std::nullopt;
    if (!path) return 1;
    const QString key = cacheKey(*path);
    if (loadingChildrenNodes_.value(key, false)) return 1;
    const auto display = cachedDirectoryNodes_.value(key);
    if (display && display->item() && *path != kRoot && !isRemoteLeaf(*display->item()) &&
        !loadedChildrenNodes_.contains(key)) {
        loadChildren(node, display->item(), key);
        // Room for the loading row until the level is there.
        if (loadingChildrenNodes_.value(key, false)) return 1;
    }
    return node->isCached() ? node->childCount() : 0;
}

std::any SelectiveSyncBrowserController::child(ColumnBrowser&, int index, const std::any& item) {
    const auto node = nodeOfItem(item);
    const auto path = node ? node->cachedRelativePath() : std::nullopt;
    if (!node) {
        OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Immediately return loading node."));
        return LoadingNode{};
    }
    if (path) {
        const QString key = cacheKey(*path);
        const auto display = cachedDirectoryNodes_.value(key);
        if (loadingChildrenNodes_.contains(key) && !loadingChildrenNodes_.value(key) && display && display->item()) {
            const auto children = node->sortedChildren();
            if (index >= 0 && std::size_t(index) < children.size()) return children[std::size_t(index)];
            return NullItem{};
        }
    }
    OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Return loading node when still loading children (async)."));
    return LoadingNode{};
}

bool SelectiveSyncBrowserController::isLeafItem(ColumnBrowser&, const std::any& item) {
    if (isLoadingItem(item)) return true;
    const auto node = nodeOfItem(item);
    if (!node) return false;
    const auto path = node->cachedRelativePath();
    if (!path) return false;
    const QString key = cacheKey(*path);
    const auto display = cachedDirectoryNodes_.value(key);
    if (!display || display->isPackage()) return true;
    if (loadedChildrenNodes_.value(key, false)) return !node->hasChildren();
    return false;
}

std::any SelectiveSyncBrowserController::objectValue(ColumnBrowser&, const std::any& item) {
    const auto node = nodeOfItem(item);
    const auto path = node ? node->cachedRelativePath() : std::nullopt;
    if (!path) return {};
    return std::make_shared<ObjCDirectoryNode>(node->syncState(), lastPathComponent(*path), *path, nullptr);
}

bool SelectiveSyncBrowserController::shouldSelectRow(ColumnBrowser& browser, int row, int column) {
    return !isLoadingItem(browser.itemAt(row, column));
}

std::vector<int> SelectiveSyncBrowserController::selectionIndexesForProposedSelection(ColumnBrowser& browser,
                                                                                      const std::vector<int>& proposed,
                                                                                      int column) {
    if (proposed.empty() || isLoadingItem(browser.itemAt(proposed.front(), column))) return {};
    return proposed;
}

// ---------------------------------------------------------------------------------------------
// Loading

void SelectiveSyncBrowserController::loadRootLevel() {
    beginUpdating();
    loadingChildrenNodes_[cacheKey(kRoot)] = true;
    // The store checks the remote root (and logs when there is none) and loads its first level.
    QPointer<SelectiveSyncBrowserController> self(this);
    store_->rootNode(currentSubscriptions(), [self](SelectiveSyncLevelResult result) {
        // Never in line: the data source that asked is still filling its column.
        MainQueue::async([self, result = std::move(result)] {
            if (self) self->rootLevelLoaded(result);
        });
    });
}

void SelectiveSyncBrowserController::rootLevelLoaded(const SelectiveSyncLevelResult& result) {
    loadingChildrenNodes_[cacheKey(kRoot)] = false;
    if (!result.isSuccess()) {
        if (viewVisible_) presentError(result.error());
    } else {
        cacheLevel(result.value());
        if (delegate_) delegate_->selectiveSyncBrowserControllerDidLoadRootLevel(*this);
        reloadColumns(ColumnReload::lastTwo);
        updateSelectAllFoldersCheckbox();
    }
    endUpdating();
}

void SelectiveSyncBrowserController::loadLevel(const std::shared_ptr<FileSystemNode>& node,
                                               const std::shared_ptr<DirectoryHierarchyNode>& remote,
                                               std::function<void(SelectiveSyncLevelResult)> completion) {
    // Only the node's identifier crosses threads; the node itself belongs to the main thread.
    const ObjectID nodeID = node->objectID();
    const std::weak_ptr<StoreController> weakStore = store_;
    QPointer<SelectiveSyncBrowserController> self(this);
    auto items = currentSubscriptions();
    remote->loadLevel(1, 1, [self, weakStore, nodeID, items = std::move(items), completion = std::move(completion)](
                                BusinessResult<std::shared_ptr<DirectoryHierarchyNode>> result) mutable {
        MainQueue::async([self, weakStore, nodeID, items = std::move(items), completion = std::move(completion),
                          result = std::move(result)]() mutable {
            const auto store = weakStore.lock();
            if (!self || !store) return;
            std::shared_ptr<FileSystemNode> node;
            store->viewContext().performAndWait([&] { node = store->viewContext().existingObject(nodeID); });
            if (!node) {
                // The folder left the store meanwhile: nothing below it to show.
                completion(SelectiveSyncLevel{});
                return;
            }
            store->selectiveSyncHierarchy(result, node, items,
                                          [self, completion = std::move(completion)](SelectiveSyncLevelResult level) {
                                              if (self) completion(std::move(level));
                                          });
        });
    });
}

void SelectiveSyncBrowserController::loadChildren(const std::shared_ptr<FileSystemNode>& node,
                                                  const std::shared_ptr<DirectoryHierarchyNode>& remote,
                                                  const QString& key) {
    beginUpdating();
    loadingChildrenNodes_[key] = true;
    QPointer<SelectiveSyncBrowserController> self(this);
    loadLevel(node, remote, [self, key](SelectiveSyncLevelResult result) {
        if (!self) return;
        self->loadingChildrenNodes_[key] = false;
        if (!result.isSuccess()) presentError(result.error());
        else self->cacheLevel(result.value());
        // Also after a failure: the folder is not asked for again until the caches are reset.
        self->loadedChildrenNodes_[key] = true;
        self->reloadColumns(ColumnReload::lastTwo);
        self->endUpdating();
    });
}

void SelectiveSyncBrowserController::cacheLevel(const SelectiveSyncLevel& level) {
    store_->viewContext().performAndWait([&] {
        for (const auto& [node, remote] : level) {
            const auto path = node ? node->cachedRelativePath() : std::nullopt;
            if (!path) continue;
            cachedDirectoryNodes_.insert(cacheKey(*path), std::make_shared<ObjCDirectoryNode>(
                                                              node->syncState(), lastPathComponent(*path), *path, remote));
            node->setIsCached(true);
            if (*path == kRoot) cachedLocalRootNode_ = node;
        }
    });
}

// ---------------------------------------------------------------------------------------------
// Reloading

void SelectiveSyncBrowserController::reloadBrowser() {
    OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Trying to start a user initiated reload."));
    if (!isConnected()) {
        if (browser_) browser_->loadColumnZero();
        return;
    }
    QPointer<SelectiveSyncBrowserController> self(this);
    walk(lastSelectedPath_, 0, [self] {
        if (self) self->finishReload();
    });
}

void SelectiveSyncBrowserController::finishReload() {
    updateSelectAllFoldersCheckbox();
    reloadColumns(ColumnReload::all);
    if (!cachedLocalRootNode_ || !browser_ || !emptyView_) return;
    const bool hasFolders = cachedLocalRootNode_->hasChildren();
    browser_->setVisible(hasFolders);
    emptyView_->setVisible(!hasFolders);
}

void SelectiveSyncBrowserController::walk(const QString& path, int level, std::function<void()> completion) {
    const QStringList components = pathComponents(path);
    const auto finished = [&] {
        OVLOG_DEBUG(AppLog::selectiveSyncBrowser(),
                    QStringLiteral("Finished updating cache for parent objects and their immediate children for path ") + path);
        completion();
    };
    if (level >= components.size()) return finished();
    QPointer<SelectiveSyncBrowserController> self(this);

    if (level == 0) {
        beginUpdating();
        store_->rootNode(currentSubscriptions(), [self, path, completion](SelectiveSyncLevelResult result) {
            MainQueue::async([self, path, completion, result = std::move(result)] {
                if (!self) return;
                self->endUpdating();
                OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Finished updating cache for level 0: /"));
                if (!result.isSuccess() || result.value().empty()) {
                    OVLOG_DEBUG(AppLog::selectiveSyncBrowser(),
                                QStringLiteral("Finished updating cache for parent objects and their immediate children for path ") +
                                    path);
                    completion();
                    return;
                }
                if (const auto& root = result.value().front().first) root->clearSortedChildren();
                self->cacheLevel(result.value());
                self->walk(path, 1, completion);
            });
        });
        return;
    }

    const QString folder = pathOfComponents(components, level + 1);
    const auto display = cachedDirectoryNodes_.value(cacheKey(folder));
    if (!display || !display->item()) return finished();
    const auto node = store_->nodeForRelativePath(folder);
    if (!node) return finished();
    node->clearSortedChildren();
    beginUpdating();
    loadLevel(node, display->item(), [self, path, level, folder, completion](SelectiveSyncLevelResult result) {
        if (!self) return;
        self->endUpdating();
        OVLOG_DEBUG(AppLog::selectiveSyncBrowser(),
                    QStringLiteral("Finished updating cache for level %1: %2").arg(level).arg(folder));
        if (result.isSuccess()) self->cacheLevel(result.value());
        self->walk(path, level + 1, completion);
    });
}

void SelectiveSyncBrowserController::reloadColumns(ColumnReload which) {
    QPointer<ColumnBrowser> browser(browser_);
    MainQueue::async([browser, which] {
        if (!browser) return;
        browser->validateVisibleColumns();
        const int last = browser->lastColumn();
        if (last <= 0) {
            browser->loadColumnZero();
            return;
        }
        const int first = which == ColumnReload::all ? 0 : last - 1;
        // A reload may close later columns; never reload past what is still open.
        for (int column = first; column <= last && column <= browser->lastColumn(); ++column)
            browser->reloadColumn(column);
    });
}

void SelectiveSyncBrowserController::resetCaches() {
    lastSelectedPath_ = kRoot;
    cachedLocalRootNode_.reset();
    cachedDirectoryNodes_.clear();
    loadedChildrenNodes_.clear();
    editBaseline_.reset();
    ObjectContext& context = store_->viewContext();
    context.performAndWait([&] {
        for (const auto& node : context.fetch().valueOr({})) {
            node->setIsCached(false);
            node->setInitialSyncState(node->syncState());
            node->clearSortedChildren();
        }
    });
    setHasChanges(false);
}

void SelectiveSyncBrowserController::reachabilityChanged(ReachabilityController&, bool connected) {
    if (connected) reloadBrowser();
}

void SelectiveSyncBrowserController::refreshSelectiveSyncBrowser(QObject*) {
    if (isConnected()) {
        reloadBrowser();
        return;
    }
    if (browser_) browser_->loadColumnZero();
    showNoConnectionAlert(view_ ? view_->window() : nullptr);
}

// ---------------------------------------------------------------------------------------------
// Editing

void SelectiveSyncBrowserController::didClickCheckbox(QObject* sender) {
    cellWithCheckboxClicked_ = qobject_cast<CheckboxBrowserCell*>(sender);
}

void SelectiveSyncBrowserController::doClick(QObject* sender) {
    rememberSelectedPath();
    applyCheckboxClick(sender);
}

void SelectiveSyncBrowserController::rememberSelectedPath() {
    if (!browser_) return;
    const auto* cell = qobject_cast<CheckboxBrowserCell*>(browser_->selectedCell());
    const auto directory = cell ? cell->directoryNode() : nullptr;
    if (!directory) return;
    const QString path = directory->path();
    // The remembered path already leads through the selected folder.
    if (isSameOrBelow(lastSelectedPath_, path)) return;
    const auto node = store_->nodeForRelativePath(path);
    if (node && node->hasChildren()) {
        lastSelectedPath_ = node->children().front()->cachedRelativePath().value_or(path);
    } else {
        lastSelectedPath_ = path;
    }
}

void SelectiveSyncBrowserController::applyCheckboxClick(QObject* sender) {
    if (!browser_ || sender != browser_ || browser_->clickedRow() == -1 || !cellWithCheckboxClicked_) return;
    const int clickedRow = browser_->clickedRow();
    const int clickedColumn = browser_->clickedColumn();
    browser_->selectRow(clickedRow, clickedColumn);
    // The cell of the clicked row, which the selection above made the selected one.
    auto* cell = qobject_cast<CheckboxBrowserCell*>(browser_->selectedCellInColumn(clickedColumn));
    const auto directory = cell ? cell->directoryNode() : nullptr;
    if (!directory) return;
    cellWithCheckboxClicked_ = nullptr;

    if (const auto node = store_->nodeForRelativePath(directory->path())) {
        noteEditing();
        // On, then mixed, then off, then on again.
        const int state = directory->state();
        const int next = state == 1 ? -1 : state == -1 ? 0 : state == 0 ? 1 : state;
        directory->setState(next);
        cell->setObjectValue(directory);
        store_->viewContext().performAndWait([&] {
            node->setSyncState(std::int16_t(next));
            store_->updateParentSyncState(node);
            store_->applySyncStateToChildren(node);
        });
        updateSelectAllFoldersCheckbox();
    }
    setHasChanges(store_->hasModifiedNodes());

    if (clickedColumn < 0) return;
    for (int column = 0; column <= clickedColumn; ++column) {
        const std::vector<int> rows = browser_->selectedRowIndexes(column);
        if (rows.empty()) continue;
        if (browser_->firstVisibleColumn() < column || column == clickedColumn) browser_->reloadData(rows, column);
        else browser_->reloadColumn(column);
    }
    // The clicked folder's subfolders took its state: the columns that list them show it too.
    for (int column = clickedColumn + 1; column <= browser_->lastColumn(); ++column) browser_->reloadColumn(column);
}

void SelectiveSyncBrowserController::updateSelectAllFoldersCheckbox() {
    std::shared_ptr<FileSystemNode> root;
    store_->viewContext().performAndWait([&] { root = store_->rootNode(); });
    if (!root) {
        if (selectAllFoldersCheckbox_) selectAllFoldersCheckbox_->setCheckState(Qt::Checked);
        return;
    }
    const std::int16_t rootState = root->syncState();
    beginUpdating();
    QPointer<SelectiveSyncBrowserController> self(this);
    store_->rootNodeChildrenCount([self, rootState](int count, std::optional<std::int16_t>) {
        MainQueue::runOrAsync([self, rootState, count] {
            if (!self) return;
            self->endUpdating();
            const auto statistics = self->store_->statistics();
            const int state = statistics
                                  ? SelectiveSyncStatistics::checkboxState(statistics->state(rootState, count))
                                  : 1;
            if (self->selectAllFoldersCheckbox_) self->selectAllFoldersCheckbox_->setCheckState(checkState(state));
        });
    });
}

void SelectiveSyncBrowserController::toggleSelectAllFolders(QObject* sender) {
    auto* button = qobject_cast<QCheckBox*>(sender);
    if (!button) return;
    if (button->checkState() == Qt::PartiallyChecked) button->setCheckState(Qt::Checked);
    const std::int16_t state = button->checkState() == Qt::Checked ? FileSystemNode::stateOn : FileSystemNode::stateOff;
    noteEditing();
    ObjectContext& context = store_->viewContext();
    context.performAndWait([&] {
        for (const auto& node : context.fetch().valueOr({})) node->setSyncState(state);
    });
    setHasChanges(store_->hasModifiedNodes());
    reloadColumns(ColumnReload::all);
}

// ---------------------------------------------------------------------------------------------
// Applying

void SelectiveSyncBrowserController::applyChanges(std::function<void()> completion) {
    ObjectContext& context = store_->viewContext();
    context.performAndWait([&] {
        if (const auto error = context.save())
            OVLOG_ERROR(AppLog::selectiveSyncBrowser(),
                        QStringLiteral("Cannot save Selective Sync subscription items: ") + error->description);
    });
    store_->selectiveSyncItems([&](const std::vector<SelectiveSyncItem>& items) {
        // A list built from a stored tree always holds the root's item. An empty one means there
        // is no tree: handing it over would unsubscribe everything.
        if (!items.empty()) {
            if (SyncFacade* sync = BusinessFacadeHolder::facade().syncFacade()) sync->setSubscriptions(items);
        }
        OVLOG_INFO(AppLog::selectiveSyncBrowser(), QStringLiteral("Selective Sync subscription items: ") + describe(items));
        resetCaches();
        if (completion) completion();
    });
}

void SelectiveSyncBrowserController::discardChanges() {
    ObjectContext& context = store_->viewContext();
    context.performAndWait([&] {
        context.reset();
        if (!editBaseline_) return;
        // What a level load saved since the first edit goes back too. Folders stored since then
        // took their state from edited parents; they go, and come back from their parents' restored
        // state when their level is loaded again.
        bool restored = false;
        for (const auto& node : context.fetch().valueOr({})) {
            const auto path = node->cachedRelativePath();
            if (!path || node->isDeleted()) continue;
            const auto before = editBaseline_->constFind(*path);
            if (before == editBaseline_->constEnd()) {
                context.deleteObject(node);
                restored = true;
            } else if (node->syncState() != *before) {
                node->setSyncState(*before);
                restored = true;
            }
        }
        if (!restored) return;
        if (const auto error = context.save())
            OVLOG_ERROR(AppLog::selectiveSyncBrowser(),
                        QStringLiteral("Cannot restore Selective Sync subscription items: ") + error->description);
    });
    resetCaches();
}

void SelectiveSyncBrowserController::noteEditing() {
    if (editBaseline_) return;
    QHash<QString, std::int16_t> baseline;
    ObjectContext& context = store_->viewContext();
    context.performAndWait([&] {
        for (const auto& node : context.fetch().valueOr({}))
            if (const auto path = node->cachedRelativePath()) baseline.insert(*path, node->syncState());
    });
    editBaseline_ = std::move(baseline);
}

void SelectiveSyncBrowserController::hasEnoughFreeDiskSpaceToApplyChanges(
    std::function<void(std::optional<bool>)> completion) {
    if (isCalculatingFreeSpace_) return;
    const auto answer = [&completion](std::optional<bool> result) {
        MainQueue::async([completion, result] {
            if (completion) completion(result);
        });
    };
    const auto rootPath = cachedLocalRootNode_ ? cachedLocalRootNode_->cachedRelativePath() : std::nullopt;
    if (!cachedLocalRootNode_ || !SettingsController().settings()->syncRoot() || !rootPath) return answer(std::nullopt);

    const auto user = BusinessFacadeHolder::facade().currentUser();
    const QString home = user ? user->homePath() : QString();
    if (home.isEmpty()) return computeFreeSpace({}, std::move(completion));

    const QString usersPath = SyncFolderPaths::appendingPathComponent(*rootPath, QStringLiteral("users"));
    const QStringList pathsToSkip{*rootPath, usersPath};
    if (cachedDirectoryNodes_.contains(cacheKey(home))) return computeFreeSpace(pathsToSkip, std::move(completion));

    // The remote folders down to the user's home count as well: load them first.
    isCalculatingFreeSpace_ = true;
    QPointer<SelectiveSyncBrowserController> self(this);
    walk(home, 0, [self, home, usersPath, pathsToSkip, completion = std::move(completion)]() mutable {
        if (!self) return;
        for (const QString& path : {usersPath, home}) {
            self->loadingChildrenNodes_[cacheKey(path)] = false;
            self->loadedChildrenNodes_[cacheKey(path)] = true;
        }
        self->isCalculatingFreeSpace_ = false;
        self->computeFreeSpace(pathsToSkip, std::move(completion));
    });
}

void SelectiveSyncBrowserController::computeFreeSpace(const QStringList& pathsToSkip,
                                                      std::function<void(std::optional<bool>)> completion) {
    const auto syncRoot = SettingsController().settings()->syncRoot();
    if (!cachedLocalRootNode_ || !syncRoot) {
        MainQueue::async([completion] {
            if (completion) completion(std::nullopt);
        });
        return;
    }
    SelectiveSyncSizeCalculator calculator;
    for (const auto& display : cachedDirectoryNodes_)
        calculator.remoteItems.insert(RemotePath::fromPath(display->path()),
                                      std::make_shared<RemoteItemSnapshot>(display->item()));
    calculator.syncRootURL = QUrl::fromLocalFile(*syncRoot);
    calculator.minimumFreeDiskSpace = minimumFreeDiskSpace;
    std::shared_ptr<const TreeSnapshot> tree;
    store_->viewContext().performAndWait([&] { tree = std::make_shared<TreeSnapshot>(*cachedLocalRootNode_); });

    // Lists local folders and waits for du: never on the main thread. The check counts as running
    // until its answer is back, so that a second one cannot overtake it.
    isCalculatingFreeSpace_ = true;
    QPointer<SelectiveSyncBrowserController> self(this);
    QThreadPool::globalInstance()->start([self, calculator = std::move(calculator), tree, pathsToSkip,
                                          completion = std::move(completion)]() mutable {
        const std::optional<bool> result = calculator.hasEnoughFreeDiskSpace(*tree, pathsToSkip);
        MainQueue::async([self, result, completion = std::move(completion)] {
            if (!self) return;
            self->isCalculatingFreeSpace_ = false;
            if (completion) completion(result);
        });
    });
}
