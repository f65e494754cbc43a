#include "app/shell/update/SoftwareUpdateViewController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/shell/controls/GridView.h"
#include "app/shell/update/SUUpdater.h"
#include "app/shell/update/SUUpdaterWrapper.h"
#include "app/shell/update/SparkleUpdaterController.h"

namespace {

// X11's Lock bit: the only place that tells whether Caps Lock is on.
constexpr quint32 x11LockMask = 0x2;

// Hands the application's key events to the pane while it is on screen.
class FlagMonitor : public QObject {
public:
    FlagMonitor(SoftwareUpdateViewController* pane) : pane_(pane) { qApp->installEventFilter(this); }
    ~FlagMonitor() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && pane_) {
            auto* key = static_cast<QKeyEvent*>(event);
            pane_->flagsChanged(SoftwareUpdateViewController::modifierFlags(key->modifiers(), key->nativeModifiers()));
        }
        return false;  // the event goes on unchanged
    }

private:
    QPointer<SoftwareUpdateViewController> pane_;
};

struct Interval {
    QString (LocalizationController::*title)() const;
    double seconds;
};

const Interval intervals[] = {
    {&LocalizationController::suPopUpUpdateIntervalHourly, 3600},
    {&LocalizationController::suPopUpUpdateIntervalDaily, 86400},
    {&LocalizationController::suPopUpUpdateIntervalWeekly, 604800},
    {&LocalizationController::suPopUpUpdateIntervalMonthly, 2629800},
};

}  // namespace

SoftwareUpdateViewController::SoftwareUpdateViewController(QObject* parent)
    : QObject(parent), updaterWrapper_(new SUUpdaterWrapper(this)) {}

SoftwareUpdateViewController::~SoftwareUpdateViewController() {
    delete flagMonitor_;
    delete view_.data();
}

QWidget* SoftwareUpdateViewController::view() {
    if (!view_) {
        loadView();
        viewDidLoad();
    }
    return view_;
}

void SoftwareUpdateViewController::loadView() {
    const LocalizationController& texts = localizationController_;
    view_ = new QWidget;
    view_->setObjectName(QStringLiteral("SoftwareUpdateView"));
    auto* layout = new QVBoxLayout(view_);
    gridView_ = new GridView(2, view_);
    layout->addWidget(gridView_);
    layout->addStretch();

    auto* description = new QLabel(texts.suLabelDescription());
    description->setWordWrap(true);
    updateDescriptionCell_ = description;
    gridView_->addRow({description});

    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::HLine);
    separatorCell_ = separator;
    gridView_->addRow({separator});

    auto* automatic = new QCheckBox(texts.suCheckBoxAutomaticallyCheckForUpdates());
    automatic->setObjectName(QStringLiteral("automaticallyChecksForUpdates"));
    automatic->setChecked(updaterWrapper_->automaticallyChecksForUpdates());
    connect(automatic, &QCheckBox::toggled, updaterWrapper_, &SUUpdaterWrapper::setAutomaticallyChecksForUpdates);
    gridView_->addRow({new QLabel, automatic});

    auto* interval = new QComboBox;
    interval->setObjectName(QStringLiteral("updateCheckInterval"));
    for (const Interval& entry : intervals) interval->addItem((texts.*entry.title)(), entry.seconds);
    const int current = interval->findData(updaterWrapper_->updateCheckInterval());
    interval->setCurrentIndex(current >= 0 ? current : 1);
    connect(interval, &QComboBox::activated, updaterWrapper_, [this, interval](int index) {
        updaterWrapper_->setUpdateCheckInterval(interval->itemData(index).toDouble());
    });
    connect(automatic, &QCheckBox::toggled, interval, &QWidget::setEnabled);
    interval->setEnabled(automatic->isChecked());
    gridView_->addRow({new QLabel(texts.suLabelUpdateInterval()), interval});

    auto* checkNow = new QPushButton(texts.suButtonCheckNow());
    checkNow->setObjectName(QStringLiteral("checkNow"));
    connect(checkNow, &QPushButton::clicked, updaterWrapper_, [this] { updaterWrapper_->checkForUpdates(this); });
    auto* lastChecked = new QWidget;
    auto* lastCheckedLayout = new QHBoxLayout(lastChecked);
    lastCheckedLayout->setContentsMargins(0, 0, 0, 0);
    lastCheckedLabel_ = new QLabel;
    lastCheckedLabel_->setObjectName(QStringLiteral("lastChecked"));
    lastCheckedLayout->addWidget(lastCheckedLabel_, 1);
    lastCheckedLayout->addWidget(checkNow);
    gridView_->addRow({new QLabel(texts.suLabelLastCheckForUpdates()), lastChecked});
    refreshLastChecked();

    alternativeUpdateEnableButton_ = new QCheckBox;
    alternativeUpdateEnableButton_->setObjectName(QStringLiteral("alternativeUpdateEnableButton"));
    connect(alternativeUpdateEnableButton_, &QCheckBox::clicked, this,
            [this] { alternativeUpdateEnableButtonToggled(alternativeUpdateEnableButton_); });
    alternativeUpdateRow_ = gridView_->numberOfRows();
    gridView_->addRow({new QLabel, alternativeUpdateEnableButton_});

    view_->installEventFilter(this);
}

void SoftwareUpdateViewController::viewDidLoad() {
    for (QWidget* cell : {updateDescriptionCell_, separatorCell_})
        if (const auto row = gridView_->rowOf(cell)) gridView_->mergeCells(*row, 0, gridView_->numberOfColumns());
}

void SoftwareUpdateViewController::viewWillAppear() {
    view();
    QObject::disconnect(checkObservation_);
    if (SUUpdater* updater = SUUpdater::sharedUpdater())
        checkObservation_ = connect(updater, &SUUpdater::checkFinished, this, [this] { refreshLastChecked(); });
    refreshLastChecked();
    if (!flagMonitor_) flagMonitor_ = new FlagMonitor(this);
    alternativeUpdateEnableButton_->setText(localizationController_.suTestUpdateChannelEnableLabel());
    if (sparkleController_ && sparkleController_->canUseAlternativeUpdateURL()) {
        const bool on = sparkleController_->useAlternativeUpdateURL();
        alternativeUpdateEnableButton_->setEnabled(true);
        alternativeUpdateEnableButton_->setChecked(on);
        gridView_->setRowHidden(alternativeUpdateRow_, !on);
        shouldReactToKeyModifiers_ = !on;
    } else {
        gridView_->setRowHidden(alternativeUpdateRow_, true);
        alternativeUpdateEnableButton_->setEnabled(false);
        alternativeUpdateEnableButton_->setChecked(false);
        shouldReactToKeyModifiers_ = true;
    }
}

void SoftwareUpdateViewController::refreshLastChecked() {
    if (!lastCheckedLabel_) return;
    SUUpdater* updater = SUUpdater::sharedUpdater();
    lastCheckedLabel_->setText(lastCheckedText(updater ? updater->lastUpdateCheckDate() : std::nullopt,
                                               localizationController_));
}

QString SoftwareUpdateViewController::lastCheckedText(const std::optional<QDateTime>& date,
                                                      const LocalizationController& texts) {
    if (!date || !date->isValid()) return texts.suLabelNeverChecked();
    return QLocale().toString(date->toLocalTime(), QLocale::ShortFormat);
}

void SoftwareUpdateViewController::viewWillDisappear() {
    delete flagMonitor_;
    flagMonitor_ = nullptr;
}

bool SoftwareUpdateViewController::isAlternativeUpdateRowHidden() const {
    return !gridView_ || gridView_->isRowHidden(alternativeUpdateRow_);
}

void SoftwareUpdateViewController::flagsChanged(std::uint64_t flags) {
    if (!shouldReactToKeyModifiers_ || !gridView_) return;
    gridView_->setRowHidden(alternativeUpdateRow_, !showsAlternativeRow(flags));
}

void SoftwareUpdateViewController::alternativeUpdateEnableButtonToggled(QObject*) {
    const bool on = alternativeUpdateEnableButton_->isChecked();
    // The row stays while the pane shows, so the user can switch back.
    shouldReactToKeyModifiers_ = false;
    if (sparkleController_) sparkleController_->setUseAlternativeUpdateURL(on);
}

std::uint64_t SoftwareUpdateViewController::modifierFlags(Qt::KeyboardModifiers modifiers, quint32 nativeModifiers) {
    std::uint64_t flags = 0;
    if (nativeModifiers & x11LockMask) flags |= capsLockFlag;
    if (modifiers & Qt::ShiftModifier) flags |= shiftFlag;
    if (modifiers & Qt::ControlModifier) flags |= controlFlag;
    if (modifiers & Qt::AltModifier) flags |= optionFlag;
    if (modifiers & Qt::MetaModifier) flags |= commandFlag;
    if (modifiers & Qt::KeypadModifier) flags |= numericPadFlag;
    return flags;
}

bool SoftwareUpdateViewController::showsAlternativeRow(std::uint64_t flags) {
    return (flags & deviceIndependentFlagsMask) == (shiftFlag | controlFlag | optionFlag | commandFlag);
}

bool SoftwareUpdateViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_) {
        if (event->type() == QEvent::Show) viewWillAppear();
        else if (event->type() == QEvent::Hide) viewWillDisappear();
    }
    return QObject::eventFilter(watched, event);
}
