#pragma once

#include <QCheckBox>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QToolButton>

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/core/AppError.h"
#include "app/core/ReachabilityController.h"
#include "app/selectivesync/CheckboxBrowserCell.h"
#include "app/selectivesync/SelectiveSyncLevel.h"
#include "frameworks/sync/SelectiveSyncItem.h"
#include "platform/appkit/ColumnBrowser.h"

class DirectoryHierarchyNode;
class FileSystemNode;
class ObjCDirectoryNode;
class StoreController;
class SelectiveSyncBrowserController;

// The host that embeds the browser in the onboarding window.
class SelectiveSyncBrowserControllerDelegate {
public:
    virtual ~SelectiveSyncBrowserControllerDelegate() = default;
    // The root level of the remote tree has been loaded (each time it is).
    virtual void selectiveSyncBrowserControllerDidLoadRootLevel(SelectiveSyncBrowserController& controller) = 0;
};

// The remote folder tree as a column browser of check boxes, in which the user chooses which
// folders this computer keeps. It reads and edits the selective-sync store, which loads remote
// folder levels on its behalf, one level each time a folder is opened; the edits reach the sync
// engine only through applyChanges().
//
// A view controller: view() builds its widget (the select-all check box with a refresh button,
// the browser, and a box shown instead of the browser when there is nothing to choose). Main
// thread only; remote answers come back through the main queue, and the disk-space check runs on
// a worker thread.
class SelectiveSyncBrowserController : public QObject,
                                       public ColumnBrowserDelegate,
                                       public ReachabilityControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(bool hasChanges READ hasChanges NOTIFY hasChangesChanged)
    Q_PROPERTY(bool isUpdating READ isUpdating NOTIFY isUpdatingChanged)

public:
    static inline const QString storyboardIdentifier = QStringLiteral("SelectiveSyncBrowserController");
    // What must stay free on the volume after a selection is applied.
    static constexpr std::int64_t minimumFreeDiskSpace = 500'000'000;

    // `store` none: the process's store.
    explicit SelectiveSyncBrowserController(std::shared_ptr<StoreController> store = nullptr, QObject* parent = nullptr);
    ~SelectiveSyncBrowserController() override;

    // Not owned; the delegate unsets itself before it goes away.
    SelectiveSyncBrowserControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(SelectiveSyncBrowserControllerDelegate* delegate) { delegate_ = delegate; }
    const std::shared_ptr<StoreController>& store() const { return store_; }

    // The view, built on first use. The host takes it into its own widget tree; the controller
    // deletes it when it goes first.
    QWidget* view();
    bool isViewLoaded() const { return view_ != nullptr; }
    bool isViewVisible() const { return viewVisible_; }
    ColumnBrowser* browser() const { return browser_; }
    QCheckBox* selectAllFoldersCheckbox() const { return selectAllFoldersCheckbox_; }
    QWidget* topStackView() const { return topStackView_; }
    QWidget* emptyView() const { return emptyView_; }
    QToolButton* refreshButton() const { return refreshButton_; }
    ReachabilityController& reachability() const { return *reachability_; }

    // Some folder's state differs from its snapshot.
    bool hasChanges() const { return hasChanges_; }
    // A level, or the remote root's folder count, is being loaded.
    bool isUpdating() const { return updatingCount_ > 0; }

    // The caches, keyed by cacheKey() of a path.
    QString lastSelectedPath() const { return lastSelectedPath_; }
    std::shared_ptr<FileSystemNode> cachedLocalRootNode() const { return cachedLocalRootNode_; }
    const QHash<QString, std::shared_ptr<ObjCDirectoryNode>>& cachedDirectoryNodes() const { return cachedDirectoryNodes_; }
    const QHash<QString, bool>& loadingChildrenNodes() const { return loadingChildrenNodes_; }
    const QHash<QString, bool>& loadedChildrenNodes() const { return loadedChildrenNodes_; }
    CheckboxBrowserCell* cellWithCheckboxClicked() const { return cellWithCheckboxClicked_; }
    bool isCalculatingFreeSpace() const { return isCalculatingFreeSpace_; }
    // The path percent-encoded for URL paths; the path itself when that fails.
    static QString cacheKey(const QString& path);

    // Walks the remembered path down from the root level, loading each level again, then
    // reloads every column.
    void reloadBrowser();
    // Sets the select-all check box from the store's counts and the remote root's folder count.
    void updateSelectAllFoldersCheckbox();

    // Saves the edits, hands the subscriptions built from them to the sync engine, resets the
    // caches, then calls the completion (before this returns).
    void applyChanges(std::function<void()> completion);
    // Throws the edits away (also those a level load has saved meanwhile) and resets the caches.
    void discardChanges();
    // Whether the volume has room for the edited selection: true, false, or none when that cannot
    // be told (no root level yet, no sync folder, unreadable capacity). The completion runs on the
    // main thread, later; never for a call made while a check is still running.
    void hasEnoughFreeDiskSpaceToApplyChanges(std::function<void(std::optional<bool>)> completion);

    // Actions (from the view, or sent up the responder chain).
    Q_INVOKABLE void refreshSelectiveSyncBrowser(QObject* sender);
    Q_INVOKABLE void toggleSelectAllFolders(QObject* sender);
    Q_INVOKABLE void didClickCheckbox(QObject* sender);
    Q_INVOKABLE void doClick(QObject* sender);

    // The browser's items: a stored node, a row still loading, a placeholder past the end of a
    // level, or nothing.
    static std::shared_ptr<FileSystemNode> nodeOfItem(const std::any& item);
    static bool isLoadingItem(const std::any& item);
    static bool isNullItem(const std::any& item);

    // ColumnBrowserDelegate
    std::any rootItem(ColumnBrowser& browser) override;
    int numberOfChildren(ColumnBrowser& browser, const std::any& item) override;
    std::any child(ColumnBrowser& browser, int index, const std::any& item) override;
    bool isLeafItem(ColumnBrowser& browser, const std::any& item) override;
    std::any objectValue(ColumnBrowser& browser, const std::any& item) override;
    bool shouldSelectRow(ColumnBrowser& browser, int row, int column) override;
    std::vector<int> selectionIndexesForProposedSelection(ColumnBrowser& browser, const std::vector<int>& proposed,
                                                          int column) override;

    // ReachabilityControllerDelegate
    void reachabilityChanged(ReachabilityController& controller, bool isConnected) override;

signals:
    void hasChangesChanged();
    void isUpdatingChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class ColumnReload { lastTwo, all };

    void loadView();
    void viewDidLoad();
    void viewDidAppear();
    void viewDidDisappear();

    bool isConnected() const;
    std::vector<SelectiveSyncItem> currentSubscriptions() const;
    void beginUpdating();
    void endUpdating();
    void setHasChanges(bool value);

    void loadRootLevel();
    void rootLevelLoaded(const SelectiveSyncLevelResult& result);
    // Loads the level below a stored folder through its remote folder; the completion runs on
    // the main thread, unless this controller went away first.
    void loadLevel(const std::shared_ptr<FileSystemNode>& node, const std::shared_ptr<DirectoryHierarchyNode>& remote,
                   std::function<void(SelectiveSyncLevelResult)> completion);
    void loadChildren(const std::shared_ptr<FileSystemNode>& node, const std::shared_ptr<DirectoryHierarchyNode>& remote,
                      const QString& key);
    void cacheLevel(const SelectiveSyncLevel& level);
    void walk(const QString& path, int level, std::function<void()> completion);
    void finishReload();
    void reloadColumns(ColumnReload which);
    void resetCaches();

    void rememberSelectedPath();
    void applyCheckboxClick(QObject* sender);

    void computeFreeSpace(const QStringList& pathsToSkip, std::function<void(std::optional<bool>)> completion);
    // Remembers every stored folder's state before the first edit since the caches were reset.
    void noteEditing();

    SelectiveSyncBrowserControllerDelegate* delegate_ = nullptr;
    std::shared_ptr<StoreController> store_;
    std::unique_ptr<ReachabilityController> reachability_;

    QPointer<QWidget> view_;
    QPointer<QWidget> topStackView_;
    QPointer<ColumnBrowser> browser_;
    QPointer<QCheckBox> selectAllFoldersCheckbox_;
    QPointer<QToolButton> refreshButton_;
    QPointer<QWidget> emptyView_;

    bool hasChanges_ = false;
    int updatingCount_ = 0;
    std::shared_ptr<FileSystemNode> cachedLocalRootNode_;
    QHash<QString, std::shared_ptr<ObjCDirectoryNode>> cachedDirectoryNodes_;
    QHash<QString, bool> loadingChildrenNodes_;
    QHash<QString, bool> loadedChildrenNodes_;
    QString lastSelectedPath_ = QStringLiteral("/");
    QPointer<CheckboxBrowserCell> cellWithCheckboxClicked_;
    bool viewVisible_ = false;
    bool isCalculatingFreeSpace_ = false;
    // The selection before the first edit of this session, by path. Loading a level saves the
    // store, edits included, so discarding cannot rely on dropping unsaved changes alone.
    std::optional<QHash<QString, std::int16_t>> editBaseline_;
};
