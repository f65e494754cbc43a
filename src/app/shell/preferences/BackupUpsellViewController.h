#pragma once

#include <QObject>

#include <memory>

#include "app/common/LocalizationController.h"
#include "app/core/ReachabilityController.h"
#include "app/shell/preferences/PreferencesPane.h"

// The backup tab for signed-in accounts without the backup feature: an upgrade page and a help
// page; the upgrade works only online.
class BackupUpsellViewController : public PreferencesPane {
    Q_OBJECT
    Q_PROPERTY(ReachabilityController* reachability READ reachability CONSTANT)

public:
    explicit BackupUpsellViewController(QObject* parent = nullptr);
    ~BackupUpsellViewController() override;

    ReachabilityController* reachability() const { return reachability_.get(); }

    Q_INVOKABLE void upgrade(QObject* sender);
    Q_INVOKABLE void openHelp(QObject* sender);

protected:
    QWidget* loadView() override;

private:
    std::unique_ptr<ReachabilityController> reachability_;
    const LocalizationController localizationController_;
};
