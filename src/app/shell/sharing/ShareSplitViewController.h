#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

#include "app/sharing/ShareController.h"
#include "app/sharing/ShareDataSource.h"

class QListWidget;
class QSplitter;
class QWidget;
class ShareInfoViewController;

// The shared-items window's content: the list of the user's shares beside the link inspector.
// Owns the list model and the share controller and hands both to the inspector. Main thread only.
class ShareSplitViewController : public QObject {
    Q_OBJECT

public:
    explicit ShareSplitViewController(QObject* parent = nullptr);
    // For tests: the controller to use instead of one over the process's facade.
    explicit ShareSplitViewController(std::unique_ptr<ShareController> shareController, QObject* parent = nullptr);
    ~ShareSplitViewController() override;

    QWidget* view();
    ShareController* shareController() const { return shareController_.get(); }
    ShareInfoViewController* inspector() const { return inspector_; }
    QListWidget* listView() const { return listView_; }
    bool isUpdatingSharedItems() const { return isUpdatingSharedItems_; }

    ShareDataSource* representedObject() const { return dataSource_; }
    // Stored, then handed to the children: the inspector gets the share controller first.
    void setRepresentedObject(ShareDataSource* dataSource);

    void viewWillAppear();
    // Loads the list again; a request while one is under way is dropped.
    Q_INVOKABLE void reload();
    Q_INVOKABLE void refreshShares(QObject* sender = nullptr);
    // The child that takes `action`, else this controller when it does; else none.
    QObject* supplementalTargetForAction(const QByteArray& action) const;

private:
    void passOnToChildren();
    void showShares();

    std::unique_ptr<ShareController> shareController_;
    QPointer<ShareDataSource> dataSource_;
    std::vector<QMetaObject::Connection> observations_;
    ShareInfoViewController* inspector_;
    bool isUpdatingSharedItems_ = false;
    QPointer<QSplitter> view_;
    QListWidget* listView_ = nullptr;
};
