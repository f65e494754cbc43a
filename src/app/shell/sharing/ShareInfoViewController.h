#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/common/LocalizationController.h"
#include "app/sharing/ShareController.h"
#include "app/sharing/ShareDataSource.h"
#include "app/sharing/ShareInfoMaxDownloadsSelectionTransformer.h"
#include "app/sharing/ShareInfoTtlTransformer.h"

class ObjCShare;
class ObjCShareInfo;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QWidget;
class ShareInfoPasswordViewController;
class ShareItemViewController;

// The inspector of the first selected share of a share window's list: its name and link, how
// long the link stays valid, its download limit (files) or write access (folders), and the
// window's share actions. Main thread only.
class ShareInfoViewController : public QObject {
    Q_OBJECT

public:
    static inline const QString storyboardIdentifier = QStringLiteral("ShareInfoViewController");
    static inline const QString passwordSegueIdentifier = QStringLiteral("ShareInfoPassword");

    enum class Tab { loading, noSelection, main };

    explicit ShareInfoViewController(QObject* parent = nullptr);
    ~ShareInfoViewController() override;

    QWidget* view();

    ShareController* shareController() const { return shareController_; }
    void setShareController(ShareController* controller) { shareController_ = controller; }
    // The one-item window: closed once its link was removed.
    QObject* delegate() const { return delegate_; }
    void setDelegate(QObject* delegate) { delegate_ = delegate; }

    ShareDataSource* representedObject() const { return dataSource_; }
    // Follows the data source's loading state, emptiness and selection from now on.
    void setRepresentedObject(ShareDataSource* dataSource);

    Tab selectedTab() const { return tab_; }
    ObjCShareInfo* currentShareInfo() const { return currentShareInfo_.get(); }
    ObjCShareInfo* unmodifiedShareInfo() const { return unmodifiedShareInfo_.get(); }
    bool isCurrentShareExpired() const { return isCurrentShareExpired_; }
    const std::optional<QString>& name() const { return name_; }
    const std::optional<QString>& url() const { return url_; }
    const std::vector<std::int64_t>& daysValidLimits() const { return daysValidLimits_; }
    const std::vector<std::int64_t>& maxDownloadLimits() const { return maxDownloadLimits_; }
    bool isCollapsed() const { return isCollapsed_; }
    // Whether validity, download limit or write access differ from what was last saved.
    bool hasChanges() const;
    std::shared_ptr<ObjCShare> selectedShare() const;

    QComboBox* daysValidPopUpButton() const { return daysValidPopUpButton_; }
    QComboBox* maxDownloadsPopUpButton() const { return maxDownloadsPopUpButton_; }
    QCheckBox* writeAccessButton() const { return writeAccessButton_; }
    QPushButton* passwordButton() const { return passwordButton_; }
    ShareItemViewController* shareItemViewController() const { return shareItemViewController_; }
    ShareInfoPasswordViewController* passwordViewController() const { return passwordViewController_; }

    // Whether the toolbar item with this identifier can be used, by what the window shows.
    static bool isToolbarItemEnabled(const QString& identifier, bool hasShares, bool isCurrentShareExpired);

    Q_INVOKABLE void refreshShareLink(QObject* sender = nullptr);
    Q_INVOKABLE void toggleAdvancedOptions(QObject* sender = nullptr);
    Q_INVOKABLE void daysValidLimitChanged(QObject* sender = nullptr);
    Q_INVOKABLE void maxDownloadLimitChanged(QObject* sender = nullptr);
    Q_INVOKABLE void writeAccessButtonChanged(QObject* sender = nullptr);
    Q_INVOKABLE void copy(QObject* sender = nullptr);
    Q_INVOKABLE void openShareInExternalBrowser(QObject* sender = nullptr);
    Q_INVOKABLE void shareItem(QObject* sender = nullptr);
    Q_INVOKABLE void sendEmail(QObject* sender = nullptr);
    Q_INVOKABLE void removeShare(QObject* sender = nullptr);
    Q_INVOKABLE void showPasswordSheet(QObject* sender = nullptr);
    Q_INVOKABLE bool validateToolbarItem(QObject* item);

signals:
    void urlChanged();
    void currentShareInfoChanged();

private:
    void loadView();
    void selectTab(Tab tab);
    void selectionChanged();
    void buildDaysValidLimits();
    void buildMaxDownloadLimits();
    void revertChanges();
    void showRowsFor(const ObjCShare& share);
    void updateControls();
    void setUrl(std::optional<QString> url);
    void endCopiedFeedback();
    void fetchLink(const std::shared_ptr<ObjCShare>& share, bool thenRefreshList);
    void saveChanges();
    void validateWindowToolbar();

    QPointer<QWidget> view_;
    QPointer<ShareController> shareController_;
    QPointer<QObject> delegate_;
    QPointer<ShareDataSource> dataSource_;
    std::vector<QMetaObject::Connection> observations_;
    Tab tab_ = Tab::loading;

    std::shared_ptr<ObjCShareInfo> currentShareInfo_;
    std::unique_ptr<ObjCShareInfo> unmodifiedShareInfo_;
    bool isCurrentShareExpired_ = true;
    std::optional<QString> name_;
    std::optional<QString> url_;
    // This inspector's own choices: two windows never write into each other's menus.
    std::vector<std::int64_t> daysValidLimits_;
    std::vector<std::int64_t> maxDownloadLimits_;
    ShareInfoTtlTransformer ttlTransformer_;
    ShareInfoMaxDownloadsSelectionTransformer maxDownloadsTransformer_;
    bool isCollapsed_ = true;

    ShareItemViewController* shareItemViewController_ = nullptr;
    ShareInfoPasswordViewController* passwordViewController_ = nullptr;
    LocalizationController localizationController_;

    QStackedWidget* tabView_ = nullptr;
    QLabel* imageView_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    QLineEdit* urlField_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    // How long the copy button says the link was copied.
    QTimer copiedFeedback_;
    QLabel* downloadsLabel_ = nullptr;
    QToolButton* disclosureButton_ = nullptr;
    QWidget* containerView_ = nullptr;
    QLabel* daysValidTextField_ = nullptr;
    QComboBox* daysValidPopUpButton_ = nullptr;
    QLabel* maxDownloadsTextField_ = nullptr;
    QComboBox* maxDownloadsPopUpButton_ = nullptr;
    QCheckBox* writeAccessButton_ = nullptr;
    QLabel* writeAccessDescriptionTextField_ = nullptr;
    QPushButton* passwordButton_ = nullptr;
};
