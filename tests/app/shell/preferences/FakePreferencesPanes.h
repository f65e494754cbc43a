#pragma once

// Panes standing in for those that other libraries put into the preferences window: they take
// their controllers through the invokable setters the window looks for.

#include <QLabel>
#include <QPointer>

#include "app/backup/BackupController.h"
#include "app/core/UserController.h"
#include "app/shell/preferences/PreferencesPane.h"
#include "app/shell/update/SparkleUpdaterController.h"

class FakePane : public PreferencesPane {
    Q_OBJECT

public:
    explicit FakePane(int height = 200, QObject* parent = nullptr) : PreferencesPane(parent), height_(height) {}

    // Looks like a general pane to a check by method, but is of another class.
    Q_INVOKABLE void setUserController(UserController* controller) { userController = controller; }

    QPointer<UserController> userController;

protected:
    QWidget* loadView() override {
        auto* label = new QLabel(QStringLiteral("fake pane"));
        label->setMinimumHeight(height_);
        return label;
    }
    QSize designedSize(QWidget*) const override { return {designedWidth, height_}; }

private:
    int height_;
};

class FakeBackupPane : public FakePane {
    Q_OBJECT

public:
    using FakePane::FakePane;
    Q_INVOKABLE void setBackupController(BackupController* controller) { backupController = controller; }
    QPointer<BackupController> backupController;
};

class FakeSoftwareUpdatePane : public FakePane {
    Q_OBJECT

public:
    using FakePane::FakePane;
    Q_INVOKABLE void setSparkleController(SparkleUpdaterController* controller) { sparkleController = controller; }
    SparkleUpdaterController* sparkleController = nullptr;
};
