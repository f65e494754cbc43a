#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

#include "app/common/LocalizationController.h"

class QLineEdit;
class QPushButton;
class QWidget;

// The connection doctor's debug tab: the account's tokens, the sync-data folder and a test crash.
// The tab view removes it before it can be seen. Main thread only.
class DebugMenuViewController : public QObject {
    Q_OBJECT

public:
    explicit DebugMenuViewController(QObject* parent = nullptr);
    ~DebugMenuViewController() override;

    QWidget* view();
    QPushButton* triggerCrashButton() const { return triggerCrashButton_; }
    QPushButton* showDatabaseButton() const { return showDatabaseButton_; }
    QLineEdit* accessTokenTextField() const { return accessTokenTextField_; }
    QLineEdit* refreshTokenTextField() const { return refreshTokenTextField_; }

    void viewDidLoad();
    // Shows the signed-in account's tokens as the business facade holds them now.
    void viewWillAppear();
    // "<application support>/<AppBundleIdentifier>/SyncData".
    static QString syncDataFolderPath();
    Q_INVOKABLE void showDatabase(QObject* sender = nullptr);
    // Ends the process with a fatal error: the crash handler's test.
    Q_INVOKABLE void triggerCrash(QObject* sender = nullptr);

private:
    QPointer<QWidget> view_;
    QPushButton* triggerCrashButton_ = nullptr;
    QPushButton* showDatabaseButton_ = nullptr;
    QLineEdit* accessTokenTextField_ = nullptr;
    QLineEdit* refreshTokenTextField_ = nullptr;
    LocalizationController localizationController_;
};
