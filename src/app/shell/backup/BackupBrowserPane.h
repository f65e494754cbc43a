#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

class DataSource;

// A view controller of the backup windows: builds its view on first use and shows the data source
// it is given as its represented object. The view names its controller for the responder chain.
// Main thread only.
class BackupBrowserPane : public QObject {
    Q_OBJECT

public:
    explicit BackupBrowserPane(QObject* parent = nullptr);
    ~BackupBrowserPane() override;

    // Built on first use, then viewDidLoad() runs once.
    QWidget* view();
    bool isViewLoaded() const { return !view_.isNull(); }

    std::shared_ptr<DataSource> representedObject() const { return representedObject_; }
    virtual void setRepresentedObject(std::shared_ptr<DataSource> dataSource);

protected:
    virtual QWidget* loadView() = 0;
    virtual void viewDidLoad() {}

private:
    QPointer<QWidget> view_;
    std::shared_ptr<DataSource> representedObject_;
};
