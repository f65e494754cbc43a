#pragma once

#include <QObject>

#include "app/common/LocalizationController.h"
#include "app/shell/preferences/PreferencesPane.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;

// The automatic-import tab. The preferences window never shows it; if it did, its controls would
// change nothing, and only its help link would do something.
class AutoImportViewController : public PreferencesPane {
    Q_OBJECT

public:
    explicit AutoImportViewController(QObject* parent = nullptr);

    Q_INVOKABLE void clearDevices(QObject* sender);
    Q_INVOKABLE void setContentType(QObject* sender);
    Q_INVOKABLE void openHelp(QObject* sender);

    QGridLayout* gridView() const { return gridView_; }
    QLabel* importDescriptionCell() const { return importDescriptionCell_; }
    QPushButton* clearDevicesButton() const { return clearDevicesButton_; }
    QComboBox* contentTypeButton() const { return contentTypeButton_; }

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    QGridLayout* gridView_ = nullptr;
    QLabel* importDescriptionCell_ = nullptr;
    QPushButton* clearDevicesButton_ = nullptr;
    QComboBox* contentTypeButton_ = nullptr;
    const LocalizationController localizationController_;
};
