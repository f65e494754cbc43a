#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include "app/common/LocalizationController.h"
#include "app/core/FeaturesController.h"

class QMainWindow;
class QToolBar;
class QWidget;
class ToolbarItem;

// The shared-items window: the list of shares beside the link inspector, under one of two
// toolbars, the full one when the account may have the service send links by e-mail. The window
// hands the toolbar's actions to its content. Main thread only.
class ShareWindowController : public QObject {
    Q_OBJECT

public:
    static inline const QString storyboardName = QStringLiteral("Share");
    static inline const QString storyboardIdentifier = QStringLiteral("ShareWindowController");

    static inline const QString deleteFull = QStringLiteral("deleteFull");
    static inline const QString deletePartial = QStringLiteral("deletePartial");
    static inline const QString openInBrowserFull = QStringLiteral("openInBrowserFull");
    static inline const QString openInBrowserPartial = QStringLiteral("openInBrowserPartial");
    static inline const QString sendEmailFull = QStringLiteral("sendEmailFull");
    static inline const QString sendEmailPartial = QStringLiteral("sendEmailPartial");
    static inline const QString shareItemFull = QStringLiteral("shareItemFull");
    static inline const QString shareItemPartial = QStringLiteral("shareItemPartial");

    explicit ShareWindowController(QObject* parent = nullptr);
    ~ShareWindowController() override;

    FeaturesController* featuresController() const { return featuresController_; }
    void setFeaturesController(FeaturesController* controller) { featuresController_ = controller; }

    // Made on first use; the toolbar is chosen then, by the account's features at that moment.
    QWidget* window();
    QObject* contentViewController() const { return contentViewController_; }
    QToolBar* fullToolbar() const { return fullToolbar_; }
    QToolBar* partialFeaturesToolbar() const { return partialFeaturesToolbar_; }
    // The toolbar the window shows; none before the window is made.
    QToolBar* toolbar() const;

    void showWindow();
    Q_INVOKABLE void close();

    // The toolbar's actions, handed to whoever in the content takes them.
    Q_INVOKABLE virtual void refreshShares(QObject* sender = nullptr);
    Q_INVOKABLE void removeShare(QObject* sender = nullptr);
    Q_INVOKABLE void openShareInExternalBrowser(QObject* sender = nullptr);
    Q_INVOKABLE void sendEmail(QObject* sender = nullptr);
    Q_INVOKABLE void shareItem(QObject* sender = nullptr);
    Q_INVOKABLE bool validateToolbarItem(QObject* item);

protected:
    // The content is made by the window; a subclass shows something else.
    virtual QObject* makeContentViewController();
    virtual QWidget* contentView();
    virtual void windowDidLoad();
    LocalizationController l10n;

private:
    QObject* responderFor(const QByteArray& action) const;
    void forward(const QByteArray& action, QObject* sender);
    QToolBar* makeToolbar(bool full);

    QPointer<FeaturesController> featuresController_;
    QObject* contentViewController_ = nullptr;
    QPointer<QMainWindow> window_;
    QToolBar* fullToolbar_ = nullptr;
    QToolBar* partialFeaturesToolbar_ = nullptr;
};

// Registers the "Share" storyboard's scenes: the two windows and the e-mail sheet.
void registerShareScenes();
