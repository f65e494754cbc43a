#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "app/shell/sharing/ShareWindowController.h"

class AppError;
class ShareController;
class ShareDataSource;
class ShareInfoViewController;

// The window that shares one item of the sync folder, asked for from the file manager: it finds
// the item's link, or makes one, and explains in a sheet why it cannot when it cannot. Made once
// and kept; each request loads its item into the same window. Main thread only.
class ShareInfoWindowController : public ShareWindowController {
    Q_OBJECT

public:
    static inline const QString storyboardIdentifier = QStringLiteral("ShareInfoWindowController");

    // The sheet that explains a failure: its texts and whether it offers to try again.
    struct FailureAlert {
        QString message;
        QString informative;
        bool offersRetry = false;
        bool operator==(const FailureAlert&) const = default;
    };
    static FailureAlert failureAlert(const AppError& error);
    // The sheet for a link that could not be made: as failureAlert, but an item the online
    // storage does not hold gets the not-synced sheet.
    static FailureAlert creationFailureAlert(const AppError& error);
    static FailureAlert notSyncedAlert();

    explicit ShareInfoWindowController(QObject* parent = nullptr);
    ~ShareInfoWindowController() override;

    // Tests: the controller the first load takes instead of making one over the process's facade.
    void setShareController(std::unique_ptr<ShareController> controller);
    ShareController* shareController() const { return shareController_.get(); }
    ShareDataSource* dataSource() const { return dataSource_; }
    ShareInfoViewController* inspector() const;

    // Shows the item's link, made when it has none. `completion` runs once the list is filled or a
    // sheet is up (again after a retry).
    void loadShare(const QString& path, std::function<void()> completion = {});
    // Closes the window on the main queue.
    void closeWindow();

protected:
    QObject* makeContentViewController() override;
    QWidget* contentView() override;

private:
    void load(const QString& path, std::function<void()> completion, int creations);
    void createShare(const QString& path, std::function<void()> completion, int creations);
    void showAlert(const FailureAlert& alert, const QString& path, std::function<void()> completion);
    bool isUnsyncedFile(const QString& path) const;

    std::unique_ptr<ShareController> shareController_;
    ShareDataSource* dataSource_;
    bool isWired_ = false;
};
