#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <vector>

#include "SyncControllerTestSupport.h"
#include "app/common/LocalizationController.h"

using namespace synctest;

namespace {

// What happens, in order, around the engine's report that the disk is full.
enum class Step {
    shortage,                 // the engine reports that a download does not fit
    shortageWhileAlertShown,  // the same, and again while its alert is on screen
    userPausesWhileAlertShown,  // the same, and the user pauses from the menu while the alert is up
    spaceBack,                // the disk has room beyond the minimum again
    stillFull,                // free space, but not beyond the minimum
    spaceUnknown,             // the file system cannot tell
    userPause,                // Pause Sync from the menu (or any pause of the application)
    userToggle,               // Pause/Resume Sync from the menu
};

struct DiskSpaceCase {
    const char* name;
    std::vector<Step> steps;
    int alerts;
    bool enabledAfter;
    std::vector<bool> engineCalls;  // what the engine was told, in order
    bool pausedForSpaceAfter;
};

void PrintTo(const DiskSpaceCase& c, std::ostream* os) { *os << c.name; }

// A controller whose disk says what the test sets, looked at every 10 ms.
class DiskSpaceFixture : public SyncControllerFixture {
protected:
    void SetUp() override {
        SyncControllerFixture::SetUp();
        diskSpaceCheckMs = 10;
        freeDiskSpace = [this](const QString& path) -> std::optional<std::int64_t> {
            probedPaths.push_back(path);
            ++probes;
            const std::int64_t bytes = freeBytes.load();
            if (bytes < 0) return std::nullopt;
            return bytes;
        };
    }

    // Lets the controller look at the disk a few times with what the disk now says; when nothing is
    // paused for want of space, lets the same time pass and sees that nobody looked.
    void letTheDiskBeLookedAt(SyncController& c) {
        const int before = probes.load();
        if (c.isPausedForDiskSpace()) {
            // Three looks begun: at least two answered after the change.
            ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !c.isPausedForDiskSpace() || probes.load() >= before + 3; }));
        } else {
            TestEnvironment::waitUntil([] { return false; }, 10 * diskSpaceCheckMs);
            EXPECT_EQ(probes.load(), before) << "nothing is paused for disk space: nobody looks";
        }
    }

    void shortage(SyncController& c) { c.handle({SyncEvent::Kind::notEnoughDiskSpace, {}, {}, {}}); }

    std::atomic<std::int64_t> freeBytes{SyncController::minimumFreeDiskSpace - 1};  // less than the minimum
    std::atomic<int> probes{0};
    std::vector<QString> probedPaths;  // written by the disk queue, read once the controller is gone
};

class SyncControllerDiskSpace : public DiskSpaceFixture, public ::testing::WithParamInterface<DiskSpaceCase> {};
class SyncControllerDiskSpacePause : public DiskSpaceFixture {};

TEST_P(SyncControllerDiskSpace, OneAlertAPauseThatTheFreedSpaceEndsAndTheUsersChoiceStands) {
    const DiskSpaceCase& k = GetParam();
    SyncController& c = make();
    c.setUp();
    ASSERT_TRUE(c.isSyncEnabled());
    facade->engine.enabledCalls.clear();

    for (const Step step : k.steps) {
        switch (step) {
        case Step::shortage:
            shortage(c);
            break;
        case Step::shortageWhileAlertShown:
            // A real modal loop delivers the engine's next report while the alert is up.
            Alert::setResponder([&](const Alert&) {
                shortage(c);
                shortage(c);
                return Alert::FirstButtonReturn;
            });
            shortage(c);
            Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
            break;
        case Step::userPausesWhileAlertShown:
            Alert::setResponder([&](const Alert&) {
                c.pauseSync();
                return Alert::FirstButtonReturn;
            });
            shortage(c);
            Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
            break;
        case Step::spaceBack:
            freeBytes = SyncController::minimumFreeDiskSpace + 2'000'000'000;
            letTheDiskBeLookedAt(c);
            break;
        case Step::stillFull:
            freeBytes = SyncController::minimumFreeDiskSpace;
            letTheDiskBeLookedAt(c);
            break;
        case Step::spaceUnknown:
            freeBytes = -1;
            letTheDiskBeLookedAt(c);
            break;
        case Step::userPause:
            c.pauseSync();
            break;
        case Step::userToggle:
            c.toggleSync();
            break;
        }
    }

    EXPECT_EQ(Alert::shownCount(), k.alerts);
    const LocalizationController texts;
    for (const Alert& alert : Alert::shownAlerts()) {
        EXPECT_EQ(alert.messageText(), texts.syAlertNotEnoughDiskSpaceToSyncMessage());
        EXPECT_EQ(alert.informativeText(), texts.syAlertNotEnoughDiskSpaceToSyncInformative());
        EXPECT_EQ(alert.buttonTitles(), QStringList{texts.syAlertNotEnoughDiskSpaceToSyncButtonPauseSync()});
    }
    EXPECT_EQ(c.isSyncEnabled(), k.enabledAfter);
    EXPECT_EQ(facade->engine.enabledCalls, k.engineCalls);
    EXPECT_EQ(c.isPausedForDiskSpace(), k.pausedForSpaceAfter);

    controller.reset();  // the disk queue drains: what it was asked is complete
    for (const QString& path : probedPaths) EXPECT_EQ(path, syncFolder) << "the space is the sync folder's";
}

using S = Step;

INSTANTIATE_TEST_SUITE_P(
    SyncController, SyncControllerDiskSpace,
    ::testing::Values(
        DiskSpaceCase{"spaceBackResumes", {S::shortage, S::stillFull, S::spaceBack}, 1, true, {false, true}, false},
        DiskSpaceCase{"stillFullStaysPaused", {S::shortage, S::stillFull}, 1, false, {false}, true},
        DiskSpaceCase{"unknownSpaceStaysPaused", {S::shortage, S::spaceUnknown}, 1, false, {false}, true},
        DiskSpaceCase{"aShortageWhileTheAlertIsShownIsNotStacked", {S::shortageWhileAlertShown, S::spaceBack}, 1,
                      true, {false, true}, false},
        DiskSpaceCase{"aShortageWhilePausedForSpaceIsNotStacked",
                      {S::shortage, S::shortage, S::stillFull, S::shortage}, 1, false, {false}, true},
        DiskSpaceCase{"aNewShortageAfterTheResumeIsToldAgain", {S::shortage, S::spaceBack, S::shortage}, 2, false,
                      {false, true, false}, true},
        DiskSpaceCase{"theUserPausingDuringTheDiskPauseStaysPaused", {S::shortage, S::userPause, S::spaceBack}, 1,
                      false, {false, false}, false},
        DiskSpaceCase{"theUserResumingByHandStaysResumed", {S::shortage, S::userToggle, S::spaceBack}, 1, true,
                      {false, true}, false},
        DiskSpaceCase{"theUserResumingThenPausingByHandStaysPaused",
                      {S::shortage, S::userToggle, S::userToggle, S::spaceBack}, 1, false, {false, true, false}, false},
        DiskSpaceCase{"theUserPausingWhileTheAlertIsShownStaysPaused", {S::userPausesWhileAlertShown, S::spaceBack}, 1,
                      false, {false}, false},
        DiskSpaceCase{"aShortageWhileTheUserPausedLeavesTheUsersPause", {S::userPause, S::shortage, S::spaceBack}, 1,
                      false, {false, false}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SyncControllerDiskSpacePause, ASignOutEndsTheDiskPauseAndANewSetUpStartsAfresh) {
    SyncController& c = make();
    c.setUp();
    shortage(c);
    ASSERT_TRUE(c.isPausedForDiskSpace());
    // The engine goes (a sign-out): there is nothing to resume, and nobody looks any more.
    facade->installed = false;
    freeBytes = SyncController::minimumFreeDiskSpace + 1;
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !c.isPausedForDiskSpace(); }));
    EXPECT_FALSE(c.isSyncEnabled());

    // A shortage reported while sync is off anyway pauses nothing of its own.
    facade->installed = true;
    freeBytes = 0;
    shortage(c);
    EXPECT_FALSE(c.isPausedForDiskSpace());
    EXPECT_FALSE(c.isSyncEnabled());

    // A set-up during a disk pause starts the engine afresh, running; the old pause is over.
    c.setUp();
    ASSERT_TRUE(c.isSyncEnabled());
    shortage(c);
    ASSERT_TRUE(c.isPausedForDiskSpace());
    c.setUp();
    EXPECT_FALSE(c.isPausedForDiskSpace());
    EXPECT_TRUE(c.isSyncEnabled());
}

}  // namespace
