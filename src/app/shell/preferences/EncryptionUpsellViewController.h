#pragma once

#include <QObject>

#include "app/common/LocalizationController.h"
#include "app/shell/preferences/PreferencesPane.h"

// The encryption tab for accounts without encryption: an upgrade page and a help page. Never shown
// by the preferences window.
class EncryptionUpsellViewController : public PreferencesPane {
    Q_OBJECT

public:
    explicit EncryptionUpsellViewController(QObject* parent = nullptr);

    Q_INVOKABLE void upgrade(QObject* sender);
    Q_INVOKABLE void openHelp(QObject* sender);

protected:
    QWidget* loadView() override;

private:
    const LocalizationController localizationController_;
};
