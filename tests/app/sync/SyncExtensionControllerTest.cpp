#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "app/sync/SyncExtensionController.h"
#include "platform/pluginkit/ExtensionRegistry.h"
#include "platform/pluginkit/PluginKitTool.h"
#include "support/TestEnvironment.h"

namespace {

using PluginKitState = SyncExtensionController::PluginKitState;

const QString kOwn = QStringLiteral("example.orvella.desktop.findersync");
const QString kOther = QStringLiteral("example.othervendor.findersync");
const QString kToolPath = QStringLiteral("/opt/orvella/Orvella_pluginkit");

// Timers that fire only when the test moves the clock.
class ManualClock {
public:
    struct Entry : SyncExtensionController::RepeatingTimer {
        double next = 0;
        double interval = 0;
        std::function<void()> tick;
        bool valid = true;
        void invalidate() override { valid = false; }
    };

    std::shared_ptr<SyncExtensionController::RepeatingTimer> schedule(double seconds, std::function<void()> tick) {
        auto entry = std::make_shared<Entry>();
        entry->next = now + seconds;
        entry->interval = seconds;
        entry->tick = std::move(tick);
        entries.push_back(entry);
        return entry;
    }

    // Fires every timer that comes due up to `seconds` from now, in time order.
    void advance(double seconds) {
        const double until = now + seconds + 1e-9;
        while (true) {
            std::shared_ptr<Entry> due;
            for (const auto& weak : entries)
                if (auto entry = weak.lock(); entry && entry->valid && entry->next <= until && (!due || entry->next < due->next))
                    due = entry;
            if (!due) break;
            now = due->next;
            due->next += due->interval;
            due->tick();
        }
        now = until - 1e-9;
    }

    int liveTimers() const {
        return int(std::count_if(entries.begin(), entries.end(), [](const auto& w) {
            auto e = w.lock();
            return e && e->valid;
        }));
    }

    double now = 0;
    std::vector<std::weak_ptr<Entry>> entries;
};

// The tool run in-process against a private registry; the host reads the registry unless a test
// holds its report back.
class SyncExtensionControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        registry_ = std::make_unique<ExtensionRegistry>(dir_.path() + QStringLiteral("/registry.json"));
        makeController();
    }

    void makeController() {
        SyncExtensionController::Environment env;
        env.runTool = [this](const QString& path, const QStringList& arguments) -> std::optional<QString> {
            EXPECT_EQ(path, kToolPath);
            toolThreads.insert(QThread::currentThread());
            if (!toolStarts) return std::nullopt;
            log.push_back(QStringLiteral("%1 %2").arg(clock.now, 0, 'f', 2).arg(arguments.join(' ')));
            QString out, err;
            QTextStream outStream(&out), errStream(&err);
            PluginKitTool::run(arguments, *registry_, outStream, errStream);
            return out;
        };
        env.isExtensionEnabled = [this](const QString& id) {
            if (frozenHost) return *frozenHost;
            return registry_->isEnabled(id);
        };
        env.perform = [](std::function<void()> blocking, std::function<void()> then) {
            blocking();
            then();
        };
        env.scheduleRepeating = [this](double seconds, std::function<void()> tick) {
            timerThreads.insert(QThread::currentThread());
            return clock.schedule(seconds, std::move(tick));
        };
        env.ownIdentifier = [this] { return ownIdentifier; };
        env.showBadgesInFinder = [this] { return showBadges; };
        env.pluginkitPath = kToolPath;
        env.otherVendorIdentifier = kOther;
        controller = std::make_unique<SyncExtensionController>(std::move(env));
        QObject::connect(controller.get(), &SyncExtensionController::isConvergingChanged,
                         [this] { convergingChanges.push_back(controller->isConverging()); });
    }

    void installOther(bool enabled) {
        ASSERT_TRUE(registry_->install(kOther));
        if (!enabled) {
            ASSERT_TRUE(registry_->setElection(kOther, ExtensionRegistry::Election::ignore));
        }
    }
    void setOwn(bool enabled) {
        ASSERT_TRUE(registry_->setElection(kOwn, enabled ? ExtensionRegistry::Election::use
                                                        : ExtensionRegistry::Election::ignore));
    }
    bool ownEnabled() const { return registry_->isEnabled(kOwn); }
    PluginKitState otherState() const {
        switch (registry_->state(kOther)) {
        case ExtensionRegistry::State::enabled: return PluginKitState::enabled;
        case ExtensionRegistry::State::ignored: return PluginKitState::ignored;
        case ExtensionRegistry::State::unknown: break;
        }
        return PluginKitState::undetermined;
    }

    QTemporaryDir dir_;
    std::unique_ptr<ExtensionRegistry> registry_;
    ManualClock clock;
    std::unique_ptr<SyncExtensionController> controller;
    std::vector<QString> log;
    std::vector<bool> convergingChanges;
    bool toolStarts = true;
    bool showBadges = true;
    std::optional<bool> frozenHost;
    std::set<QThread*> toolThreads;
    std::set<QThread*> timerThreads;
    QString ownIdentifier = kOwn;
};

std::vector<QString> commands(std::initializer_list<const char*> lines) {
    std::vector<QString> out;
    for (const char* line : lines)
        out.push_back(QString::fromUtf8(line).replace(QStringLiteral("OWN"), kOwn).replace(QStringLiteral("OTHER"), kOther));
    return out;
}

// ---- switching on ----

struct SwitchOnCase {
    const char* name;
    std::optional<bool> otherInstalledEnabled;  // none: not installed
    int hostLagsForSeconds;                      // the host reports "off" until then
    double runFor;
    std::vector<QString> expectedLog;
    bool convergingAtEnd;
    std::vector<double> checkTimes;              // clock times at which the state must still be converging
};

class SwitchOn : public SyncExtensionControllerTest, public ::testing::WithParamInterface<SwitchOnCase> {};

TEST_P(SwitchOn, RunsTheSequenceInOrderAndOnTime) {
    const SwitchOnCase& c = GetParam();
    if (c.otherInstalledEnabled) installOther(*c.otherInstalledEnabled);
    if (c.hostLagsForSeconds > 0) frozenHost = false;

    controller->updateExtensionState(true);
    ASSERT_FALSE(convergingChanges.empty());
    EXPECT_TRUE(convergingChanges.front()) << "converging from the first command";
    EXPECT_TRUE(controller->requestedEnabled());
    while (clock.now < c.runFor - 1e-6) {
        if (c.hostLagsForSeconds > 0 && clock.now + 1e-6 >= c.hostLagsForSeconds) frozenHost.reset();
        clock.advance(0.25);
        for (double t : c.checkTimes)
            if (std::abs(clock.now - t) < 1e-6) {
                EXPECT_TRUE(controller->isConverging()) << "at " << t;
            }
    }
    EXPECT_EQ(log, c.expectedLog);
    EXPECT_EQ(controller->isConverging(), c.convergingAtEnd);
    EXPECT_TRUE(ownEnabled());
    if (c.otherInstalledEnabled) {
        EXPECT_EQ(otherState(), *c.otherInstalledEnabled ? PluginKitState::enabled : PluginKitState::ignored);
    }
    if (!c.convergingAtEnd) {
        EXPECT_EQ(clock.liveTimers(), 0) << "no timer outlives the switch";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Extension, SwitchOn,
    ::testing::Values(
        SwitchOnCase{"OtherVendorInUseIsHandedOver", true, 0, 5.0,
                     commands({"0.00 -m -A -i OTHER", "0.00 -e ignore -i OTHER", "1.25 -e use -i OWN",
                               "2.50 -e use -i OTHER"}),
                     false, {1.25, 2.5, 3.5}},
        SwitchOnCase{"OtherVendorNotInstalled", std::nullopt, 0, 9.0,
                     commands({"0.00 -m -A -i OTHER", "0.00 -e use -i OWN"}), false, {}},
        SwitchOnCase{"OtherVendorIgnoredIsLeftAlone", false, 0, 9.0,
                     commands({"0.00 -m -A -i OTHER", "0.00 -e use -i OWN"}), false, {}},
        SwitchOnCase{"SlowHostIsPolledEveryFourSeconds", std::nullopt, 9, 13.0,
                     commands({"0.00 -m -A -i OTHER", "0.00 -e use -i OWN", "4.00 -m -A -i OTHER",
                               "4.00 -e use -i OWN", "8.00 -m -A -i OTHER", "8.00 -e use -i OWN",
                               "12.00 -m -A -i OTHER", "12.00 -e use -i OWN"}),
                     false, {3.75, 7.75, 11.75}},
        SwitchOnCase{"SlowHostAfterHandOverKeepsPolling", true, 5, 11.0,
                     commands({"0.00 -m -A -i OTHER", "0.00 -e ignore -i OTHER", "1.25 -e use -i OWN",
                               "2.50 -e use -i OTHER",
                               // the first poll finds the other vendor in use again: a second hand-over
                               "7.75 -m -A -i OTHER", "7.75 -e ignore -i OTHER", "9.00 -e use -i OWN",
                               "10.25 -e use -i OTHER"}),
                     true, {3.75, 7.75, 10.25}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- switching off and the setting ----

struct OffCase {
    const char* name;
    bool ownEnabledBefore;
    bool signedIn;
    bool showBadges;
    std::vector<QString> expectedLog;
    std::vector<bool> convergingChanges;
};

class SwitchOff : public SyncExtensionControllerTest, public ::testing::WithParamInterface<OffCase> {};

TEST_P(SwitchOff, IgnoresOnlyWhatIsOn) {
    const OffCase& c = GetParam();
    if (c.ownEnabledBefore) setOwn(true);
    showBadges = c.showBadges;
    if (c.signedIn) controller->updateExtensionState(true);
    else controller->disableExtension();
    clock.advance(10);
    EXPECT_FALSE(controller->requestedEnabled());
    EXPECT_EQ(log, c.expectedLog);
    EXPECT_EQ(convergingChanges, c.convergingChanges);
    EXPECT_FALSE(ownEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Extension, SwitchOff,
    ::testing::Values(OffCase{"AlreadyOffDoesNothing", false, false, true, {}, {}},
                      OffCase{"OnIsIgnored", true, false, true, commands({"0.00 -e ignore -i OWN"}), {true, false}},
                      OffCase{"BadgesOffSwitchesOffForSignedInUser", true, true, false,
                              commands({"0.00 -e ignore -i OWN"}), {true, false}},
                      OffCase{"BadgesOffAndAlreadyOff", false, true, false, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- requests during a switch ----

TEST_F(SyncExtensionControllerTest, OffRequestedDuringHandOverIsAppliedWhenItEnds) {
    installOther(true);
    controller->updateExtensionState(true);
    clock.advance(1.0);
    controller->disableExtension();
    EXPECT_FALSE(controller->requestedEnabled());
    EXPECT_EQ(log.size(), 2u) << "nothing runs until the hand-over is done";
    clock.advance(3.0);
    EXPECT_EQ(log, commands({"0.00 -m -A -i OTHER", "0.00 -e ignore -i OTHER", "1.25 -e use -i OWN",
                             "2.50 -e use -i OTHER", "3.75 -e ignore -i OWN"}));
    EXPECT_FALSE(ownEnabled());
    EXPECT_EQ(otherState(), PluginKitState::enabled);
    EXPECT_FALSE(controller->isConverging());
    EXPECT_EQ(clock.liveTimers(), 0);
}

// The appearance refresh: off, then on again 3 s later, while the host is slow to follow.
TEST_F(SyncExtensionControllerTest, OnRequestedWhileStillPollingOffBecomesTheTarget) {
    setOwn(true);
    frozenHost = true;  // still reports the extension in use
    controller->disableExtension();
    EXPECT_TRUE(controller->isConverging());
    clock.advance(3.0);
    controller->updateExtensionState(true);
    EXPECT_TRUE(controller->requestedEnabled());
    clock.advance(1.0);  // the 4 s poll now works towards "on"
    EXPECT_EQ(log, commands({"0.00 -e ignore -i OWN", "4.00 -m -A -i OTHER", "4.00 -e use -i OWN"}));
    EXPECT_TRUE(ownEnabled());
    EXPECT_FALSE(controller->isConverging());
    EXPECT_EQ(clock.liveTimers(), 0);
}

TEST_F(SyncExtensionControllerTest, OnlyTheLatestOfSeveralRequestsCounts) {
    frozenHost = false;
    controller->updateExtensionState(true);  // polls: the host does not follow yet
    controller->disableExtension();
    controller->updateExtensionState(true);
    controller->disableExtension();
    const size_t before = log.size();
    frozenHost.reset();
    clock.advance(4.0);
    // The poll switches off instead; the host follows at once.
    EXPECT_EQ(std::vector<QString>(log.begin() + long(before), log.end()), commands({"4.00 -e ignore -i OWN"}));
    EXPECT_FALSE(ownEnabled());
    EXPECT_FALSE(controller->isConverging());
    clock.advance(20);
    EXPECT_EQ(log.size(), before + 1);
}

// ---- failures ----

TEST_F(SyncExtensionControllerTest, ToolThatCannotStartKeepsPollingUntilItCan) {
    toolStarts = false;
    controller->updateExtensionState(true);
    clock.advance(12.5);
    EXPECT_TRUE(controller->isConverging());
    EXPECT_FALSE(ownEnabled());
    EXPECT_EQ(clock.liveTimers(), 1);
    toolStarts = true;
    clock.advance(4.0);  // the 16 s poll
    EXPECT_EQ(log, commands({"16.00 -m -A -i OTHER", "16.00 -e use -i OWN"}));
    EXPECT_FALSE(controller->isConverging());
}

TEST_F(SyncExtensionControllerTest, OwnIdentifierIsReadAtEachUse) {
    frozenHost = false;
    controller->updateExtensionState(true);
    ownIdentifier = QStringLiteral("example.orvella.desktop.findersync2");
    clock.advance(4.0);
    EXPECT_EQ(log.back(), QStringLiteral("4.00 -e use -i example.orvella.desktop.findersync2"));
}

TEST(SyncExtensionControllerOutput, OnlyTheFirstCharacterCounts) {
    const struct {
        std::optional<QString> output;
        PluginKitState state;
    } cases[] = {
        {QStringLiteral("+    a.b\n"), PluginKitState::enabled},
        {QStringLiteral("-    a.b\n"), PluginKitState::ignored},
        {QStringLiteral("+"), PluginKitState::enabled},
        {QStringLiteral(" +   a.b\n"), PluginKitState::undetermined},
        {QStringLiteral("!    a.b\n"), PluginKitState::undetermined},
        {QString(), PluginKitState::undetermined},
        {std::nullopt, PluginKitState::undetermined},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output ? c.output->toStdString() : "none");
        EXPECT_EQ(SyncExtensionController::stateFromOutput(c.output), c.state);
    }
}

// ---- threads ----

// A caller on a thread without a running loop: the switching still happens, on the main thread.
TEST_F(SyncExtensionControllerTest, CallFromAnotherThreadSwitchesOnTheMainThread) {
    frozenHost = false;
    std::unique_ptr<QThread> caller(QThread::create([&] { controller->updateExtensionState(true); }));
    caller->start();
    caller->wait();
    EXPECT_TRUE(controller->requestedEnabled()) << "the request is noted at once";
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return clock.liveTimers() == 1; }));
    EXPECT_EQ(toolThreads, (std::set<QThread*>{QCoreApplication::instance()->thread()}));
    EXPECT_EQ(timerThreads, toolThreads);
    EXPECT_TRUE(controller->isConverging());
}

// The standard wiring: commands on their own queue, results and timers on the main thread.
TEST(SyncExtensionControllerStandard, RunsTheToolOffTheMainThread) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ExtensionRegistry registry(dir.path() + QStringLiteral("/registry.json"));
    QThread* toolThread = nullptr;
    auto env = SyncExtensionController::Environment::standard();
    EXPECT_EQ(env.pluginkitPath, QCoreApplication::applicationDirPath() + QStringLiteral("/Orvella_pluginkit"));
    EXPECT_EQ(env.otherVendorIdentifier, kOther);
    EXPECT_EQ(env.ownIdentifier(), kOwn);
    env.runTool = [&](const QString&, const QStringList& arguments) -> std::optional<QString> {
        toolThread = QThread::currentThread();
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        PluginKitTool::run(arguments, registry, outStream, errStream);
        return out;
    };
    env.isExtensionEnabled = [&](const QString& id) { return registry.isEnabled(id); };
    env.showBadgesInFinder = [] { return true; };
    {
        SyncExtensionController local(std::move(env));
        local.updateExtensionState(true);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return registry.isEnabled(kOwn) && !local.isConverging(); }));
        EXPECT_NE(toolThread, nullptr);
        EXPECT_NE(toolThread, QCoreApplication::instance()->thread());
        local.disableExtension();
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !registry.isEnabled(kOwn) && !local.isConverging(); }));
    }
}

}  // namespace
