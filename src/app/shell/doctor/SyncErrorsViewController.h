#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

#include "app/common/LocalizationController.h"
#include "app/core/SettingsController.h"
#include "app/shell/doctor/ConnectionDoctorManageable.h"
#include "app/shell/doctor/ConnectionDoctorWiper.h"
#include "app/sync/SyncController.h"

class ObjCSyncError;
class QTableWidget;
class QWidget;
class Timer;

// The connection doctor's table of the sync engine's current errors: date, path in the sync folder
// and description. While the tab shows and the setting `continuouslyUpdateDebugInterface` is on,
// the list is read again every 2 seconds. Main thread only.
class SyncErrorsViewController : public QObject, public ConnectionDoctorManageable, public ConnectionDoctorWiper {
    Q_OBJECT

public:
    using Errors = std::optional<std::vector<std::shared_ptr<ObjCSyncError>>>;

    static constexpr double refreshInterval = 2.0;
    // The table's columns.
    static constexpr int dateTableColumn = 0;
    static constexpr int rootRelativePathTableColumn = 1;
    static constexpr int errorTableColumn = 2;

    explicit SyncErrorsViewController(QObject* parent = nullptr);
    ~SyncErrorsViewController() override;

    // Built on first use; showing and hiding it run viewWillAppear and viewWillDisappear.
    QWidget* view();
    QTableWidget* tableView() const { return tableView_; }

    SyncController* syncController() const override { return syncController_; }
    // Reads the controller's errors at once; none without a controller.
    void setSyncController(SyncController* controller) override;
    const Errors& errors() const { return errors_; }
    void setErrors(Errors errors);
    // Empties the list; a list that was none stays none.
    void wipe() override;

    void viewDidLoad();
    void viewWillAppear();
    void viewWillDisappear();
    bool isRefreshing() const;

signals:
    void errorsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadView();
    void reloadTable();
    void reloadErrors();
    void updateRefreshTimer();

    QTableWidget* tableView_ = nullptr;
    QPointer<QWidget> view_;
    LocalizationController localizationController_;
    QPointer<SyncController> syncController_;
    SettingsController settingsController_;
    Errors errors_;
    QMetaObject::Connection observation_;
    std::shared_ptr<Timer> syncErrorsUpdateTimer_;
};
