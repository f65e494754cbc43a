#pragma once

#include <QObject>
#include <QString>

#include <optional>

#include "app/common/LocalizationController.h"
#include "app/shell/preferences/EncryptionKeyOpenPanel.h"
#include "app/shell/preferences/PreferencesPane.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// The sheet that would create an encryption key protected by a password: it collects the password
// twice, the folder for a copy of the key and the user's consent, and creates nothing.
class CreateEncryptionKeyViewController : public PreferencesPane {
    Q_OBJECT
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(QString verifyPassword READ verifyPassword WRITE setVerifyPassword NOTIFY verifyPasswordChanged)
    Q_PROPERTY(QString backupKeyPath READ backupKeyPath WRITE setBackupKeyPath NOTIFY backupKeyPathChanged)
    Q_PROPERTY(bool hasUserAgreed READ hasUserAgreed WRITE setHasUserAgreed NOTIFY hasUserAgreedChanged)

public:
    explicit CreateEncryptionKeyViewController(QObject* parent = nullptr);

    QString password() const { return password_; }
    void setPassword(const QString& value);
    QString verifyPassword() const { return verifyPassword_; }
    void setVerifyPassword(const QString& value);
    QString backupKeyPath() const { return backupKeyPath_; }
    void setBackupKeyPath(const QString& value);
    bool hasUserAgreed() const { return hasUserAgreed_; }
    void setHasUserAgreed(bool value);
    // Both passwords given and equal, and the user agreed.
    bool canCreate() const;

    void setOpenPanel(EncryptionKeyOpenPanel panel) { openPanel_ = std::move(panel); }
    // "Downloads" in the home folder of the user's account record (the process's home without one).
    static QString defaultBackupKeyPath();

    Q_INVOKABLE void showOpenPanel(QObject* sender);
    Q_INVOKABLE void openHelp(QObject* sender);
    Q_INVOKABLE void create(QObject* sender);
    Q_INVOKABLE void cancel(QObject* sender);

    QGridLayout* gridView() const { return gridView_; }
    QLabel* createEncryptionKeyDescriptionCell() const { return descriptionCell_; }
    QWidget* passwordSeparatorCell() const { return passwordSeparatorCell_; }
    QWidget* userConsentSeparatorCell() const { return userConsentSeparatorCell_; }
    // The place to save the key: the chosen folder first, then "Other…".
    QComboBox* backupKeyMenu() const { return backupKeyMenu_; }
    QCheckBox* checkbox() const { return checkbox_; }
    QPushButton* createButton() const { return createButton_; }

signals:
    void passwordChanged();
    void verifyPasswordChanged();
    void backupKeyPathChanged();
    void hasUserAgreedChanged();

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    void refresh();

    QString password_;
    QString verifyPassword_;
    QString backupKeyPath_;
    bool hasUserAgreed_ = false;
    const LocalizationController localizationController_;
    EncryptionKeyOpenPanel openPanel_;

    QGridLayout* gridView_ = nullptr;
    QLabel* descriptionCell_ = nullptr;
    QWidget* passwordSeparatorCell_ = nullptr;
    QWidget* userConsentSeparatorCell_ = nullptr;
    QComboBox* backupKeyMenu_ = nullptr;
    QCheckBox* checkbox_ = nullptr;
    QLineEdit* passwordField_ = nullptr;
    QLineEdit* verifyField_ = nullptr;
    QPushButton* createButton_ = nullptr;
};
