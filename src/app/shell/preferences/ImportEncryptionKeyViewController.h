#pragma once

#include <QObject>

#include "app/shell/preferences/EncryptionKeyOpenPanel.h"
#include "app/shell/preferences/PreferencesPane.h"

class QLabel;
class QLineEdit;

// The sheet that would import a key file with its password: it collects both and imports nothing.
class ImportEncryptionKeyViewController : public PreferencesPane {
    Q_OBJECT

public:
    explicit ImportEncryptionKeyViewController(QObject* parent = nullptr);

    void setOpenPanel(EncryptionKeyOpenPanel panel) { openPanel_ = std::move(panel); }

    Q_INVOKABLE void chooseKey(QObject* sender);
    Q_INVOKABLE void importKey(QObject* sender);
    Q_INVOKABLE void cancel(QObject* sender);

    QLabel* importEncryptionKeyDescriptionCell() const { return descriptionCell_; }
    QLineEdit* keyTextField() const { return keyTextField_; }
    QLineEdit* passwordTextField() const { return passwordTextField_; }

protected:
    QWidget* loadView() override;

private:
    EncryptionKeyOpenPanel openPanel_;
    QLabel* descriptionCell_ = nullptr;
    QLineEdit* keyTextField_ = nullptr;
    QLineEdit* passwordTextField_ = nullptr;
};
