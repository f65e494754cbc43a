#pragma once

#include <QObject>

#include "app/shell/preferences/PreferencesPane.h"
#include "app/shell/update/SoftwareUpdateViewController.h"
#include "app/shell/update/SparkleUpdaterController.h"

// The software-update pane as a tab of the preferences window: the pane controller runs its own
// view; this hands it over and passes the updater on.
class PreferencesSoftwareUpdatePane : public PreferencesPane {
    Q_OBJECT

public:
    explicit PreferencesSoftwareUpdatePane(QObject* parent = nullptr)
        : PreferencesPane(parent), controller_(new SoftwareUpdateViewController(this)) {}

    SoftwareUpdateViewController* controller() const { return controller_; }
    Q_INVOKABLE void setSparkleController(SparkleUpdaterController* controller) {
        controller_->setSparkleController(controller);
    }

protected:
    QWidget* loadView() override { return controller_->view(); }

private:
    SoftwareUpdateViewController* controller_;
};
