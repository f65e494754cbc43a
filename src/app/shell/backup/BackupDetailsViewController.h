#pragma once

#include <QMetaObject>

#include "app/shell/backup/BackupBrowserPane.h"

class QLabel;
class QStackedWidget;

// The browser's details of the selected backup. It shows a loading page until the first list
// arrives, then the selected backup's name, device, date and status, contents and size. Main
// thread only.
class BackupDetailsViewController : public BackupBrowserPane {
    Q_OBJECT

public:
    explicit BackupDetailsViewController(QObject* parent = nullptr);

    QStackedWidget* tabView();
    QWidget* progressTabViewItem() const { return progressTabViewItem_; }
    QWidget* contentTabViewItem() const { return contentTabViewItem_; }
    QLabel* nameTextField() const { return nameTextField_; }
    QLabel* deviceTextField() const { return deviceTextField_; }
    QLabel* statusTextField() const { return statusTextField_; }
    QLabel* itemsTextField() const { return itemsTextField_; }
    QLabel* sizeTextField() const { return sizeTextField_; }

    void setRepresentedObject(std::shared_ptr<DataSource> dataSource) override;

protected:
    QWidget* loadView() override;

private:
    void showSelectedBackup();

    QWidget* progressTabViewItem_ = nullptr;
    QWidget* contentTabViewItem_ = nullptr;
    QLabel* nameTextField_ = nullptr;
    QLabel* deviceTextField_ = nullptr;
    QLabel* statusTextField_ = nullptr;
    QLabel* itemsTextField_ = nullptr;
    QLabel* sizeTextField_ = nullptr;
    QMetaObject::Connection selectionObservation_;
};
