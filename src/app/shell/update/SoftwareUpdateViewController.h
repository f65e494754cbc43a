#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <optional>

#include "app/common/LocalizationController.h"
#include "app/shell/update/SparkleUpdaterController.h"

class QLabel;
class GridView;
class QCheckBox;
class QWidget;

class SUUpdaterWrapper;

// The software-update tab of the preferences: automatic checks, their interval and the check-now
// button over the shared updater, and the test-channel row, hidden unless the channel is on or the
// user holds Shift, Control, Alt and Super (the Command key's place here) together. Main thread only.
class SoftwareUpdateViewController : public QObject {
    Q_OBJECT

public:
    // Device-independent modifier flags as the row's rule counts them.
    static constexpr std::uint64_t capsLockFlag = 0x10000;
    static constexpr std::uint64_t shiftFlag = 0x20000;
    static constexpr std::uint64_t controlFlag = 0x40000;
    static constexpr std::uint64_t optionFlag = 0x80000;
    static constexpr std::uint64_t commandFlag = 0x100000;
    static constexpr std::uint64_t numericPadFlag = 0x200000;
    static constexpr std::uint64_t deviceIndependentFlagsMask = 0xFFFF0000;

    explicit SoftwareUpdateViewController(QObject* parent = nullptr);
    ~SoftwareUpdateViewController() override;

    // Built on first use; showing and hiding it runs viewWillAppear and viewWillDisappear.
    QWidget* view();

    GridView* gridView() const { return gridView_; }
    QWidget* updateDescriptionCell() const { return updateDescriptionCell_; }
    QWidget* separatorCell() const { return separatorCell_; }
    int alternativeUpdateRow() const { return alternativeUpdateRow_; }
    QCheckBox* alternativeUpdateEnableButton() const { return alternativeUpdateEnableButton_; }
    bool isAlternativeUpdateRowHidden() const;
    bool shouldReactToKeyModifiers() const { return shouldReactToKeyModifiers_; }
    bool hasFlagMonitor() const { return flagMonitor_ != nullptr; }
    SUUpdaterWrapper* updaterWrapper() const { return updaterWrapper_; }
    QLabel* lastCheckedLabel() const { return lastCheckedLabel_; }
    // When the updater last looked, in the user's locale; "Never" before the first check.
    static QString lastCheckedText(const std::optional<QDateTime>& date, const LocalizationController& texts);

    // Set by the preferences window.
    SparkleUpdaterController* sparkleController() const { return sparkleController_; }
    Q_INVOKABLE void setSparkleController(SparkleUpdaterController* controller) { sparkleController_ = controller; }

    void viewDidLoad();
    void viewWillAppear();
    void viewWillDisappear();
    // The modifier keys changed (the monitor and the responder chain both come here).
    void flagsChanged(std::uint64_t modifierFlags);
    Q_INVOKABLE void alternativeUpdateEnableButtonToggled(QObject* sender = nullptr);

    // The flags for a key event's modifiers; `nativeModifiers` is the X11 state when there is one
    // (it alone knows Caps Lock).
    static std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers, quint32 nativeModifiers = 0);
    // The four keys held together and no other device-independent flag.
    static bool showsAlternativeRow(std::uint64_t modifierFlags);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadView();
    void refreshLastChecked();

    QPointer<QWidget> view_;
    GridView* gridView_ = nullptr;
    QWidget* updateDescriptionCell_ = nullptr;
    QWidget* separatorCell_ = nullptr;
    int alternativeUpdateRow_ = -1;
    QCheckBox* alternativeUpdateEnableButton_ = nullptr;
    QLabel* lastCheckedLabel_ = nullptr;
    QMetaObject::Connection checkObservation_;
    bool shouldReactToKeyModifiers_ = true;
    QPointer<SparkleUpdaterController> sparkleController_;
    LocalizationController localizationController_;
    // The application-wide key watch while the pane is on screen.
    QObject* flagMonitor_ = nullptr;
    SUUpdaterWrapper* updaterWrapper_;
};
