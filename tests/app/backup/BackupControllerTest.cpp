#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <functional>
#include <memory>

#include "app/backup/BackupController.h"
#include "app/core/QuotaController.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "app/core/UserNotificationController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/core/support/TestBusinessUser.h"
#include "frameworks/business/OrvellaBackupFacade.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/MainQueue.h"
#include "service/StorageService.h"
#include "support/RecordingNotificationCenter.h"
#include "support/TestEnvironment.h"
#include "service/EmbeddedServiceClient.h"

namespace {

using Kind = BusinessError::Kind;

// A backup service whose answers the test gives.
class FakeBackupFacade : public BackupFacade {
public:
    std::optional<BackupSettings> backupSettings(const QString& name, const OVBackupAndRestoreOptions& options,
                                                 bool keep) const override {
        if (name.isEmpty() || options.isEmpty()) return std::nullopt;
        return BackupSettings{name, options, keep};
    }
    std::optional<RestoreSettings> restoreSettings(const OVBackupAndRestoreOptions& options) const override {
        if (options.isEmpty()) return std::nullopt;
        return RestoreSettings{options};
    }
    void preview(const BackupSettings&, PreviewProgressHandler p, std::function<void(BusinessResult<BackupPreview>)> c) override {
        previewProgress = std::move(p);
        previewDone = std::move(c);
    }
    void backUp(const BackupPreview&, ProgressHandler p, std::function<void(BusinessResult<BackupProcessReport>)> c) override {
        backUpProgress = std::move(p);
        backUpDone = std::move(c);
    }
    void restore(const BackupObject&, const RestoreSettings&, ProgressHandler p,
                 std::function<void(BusinessResult<BackupProcessReport>)> c) override {
        restoreProgress = std::move(p);
        restoreDone = std::move(c);
    }
    void cancel(std::function<void()>) override { ++cancelCalls; }
    void list(std::function<void(BusinessResult<std::vector<BackupObject>>)> c) override { c(listResult); }
    QString destinationFolder() const override { return destination; }
    QString destination;

    PreviewProgressHandler previewProgress;
    std::function<void(BusinessResult<BackupPreview>)> previewDone;
    ProgressHandler backUpProgress, restoreProgress;
    std::function<void(BusinessResult<BackupProcessReport>)> backUpDone, restoreDone;
    BusinessResult<std::vector<BackupObject>> listResult = std::vector<BackupObject>{};
    int cancelCalls = 0;
};

class BackupTestFacade : public TestBusinessFacade {
public:
    using TestBusinessFacade::TestBusinessFacade;
    BackupFacade* backupFacade() const override { return backup; }
    BackupFacade* backup = nullptr;
};

class Activity : public ProcessActivity {
public:
    explicit Activity(int& live) : live_(live) { ++live_; }
    ~Activity() override { --live_; }

private:
    int& live_;
};

struct OneUser : UserProvider {
    std::shared_ptr<TestBusinessUser> account = std::make_shared<TestBusinessUser>();
    std::shared_ptr<const BusinessUser> user() const override { return account; }
};

BackupPreview previewOf(std::uint64_t items, std::uint64_t bytes) {
    BackupPreview p;
    p.itemCounts.contacts = items;
    p.sizes.contacts = bytes;
    p.settings.name = QStringLiteral("Desk");
    return p;
}

class BackupControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        facade = std::make_shared<BackupTestFacade>(QStringLiteral("test.group.backup.%1").arg(++counter));
        facade->backup = &fake;
        BusinessFacadeHolder::setFacadeForTesting(facade);
        signInAs(QStringLiteral("acc-1"));
        NotificationCenter::setCurrent(center);
        auto* s = facade->settings();
        s->setBackupName(QStringLiteral("Desk"));
        s->setBackupContacts(true);
        quota = std::make_unique<QuotaController>(users, [this] { return clock; }, [] { return true; });
        controller = std::make_unique<BackupController>(*quota, userController, OVBackupDependencyProvider{100}, true);
        controller->setCapacitySourceForTesting([this] { return capacity; });
        controller->setActivitySourceForTesting([this](const QString&) { return std::make_unique<Activity>(activities); });
    }
    void TearDown() override {
        controller.reset();
        NotificationCenter::setCurrent(nullptr);
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }
    OrvellaSettingsManager& settings() const { return *facade->settings(); }
    // An empty id signs out.
    void signInAs(const QString& accountId) {
        if (accountId.isEmpty()) facade->user.reset();
        else facade->user = std::make_shared<TestBusinessUser>(accountId);
        userController.update();
    }
    void start() {
        // Each backup asks the service for the quota again, never the cache.
        clock += std::chrono::minutes(1);
        completions = 0;
        outcome.reset();
        controller->startBackup(BackupController::Completion([this](const std::optional<AppError>& e) {
            ++completions;
            outcome = e;
        }));
    }
    bool waitForCompletion() { return TestEnvironment::waitUntil([this] { return completions > 0; }, 3000); }
    // Answers the preview and waits for the quota request it leads to.
    void passPreview(BackupPreview p) {
        ASSERT_TRUE(fake.previewDone);
        const size_t before = users->account->requests.size();
        fake.previewDone(p);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return users->account->requests.size() > before; }, 3000));
    }
    void answerQuota(BusinessResult<OVQuota> q) {
        ASSERT_TRUE(users->account->requests.back()->answer(q));
    }
    std::optional<BackupStatus::Case> statusCase() const {
        auto s = controller->latestBackupStatus();
        return s ? std::optional(s->backupStatus().statusCase()) : std::nullopt;
    }
    void expectIdle() {
        EXPECT_FALSE(controller->isInProgress());
        EXPECT_FALSE(controller->isBackingUp());
        EXPECT_FALSE(controller->isPreparing());
        EXPECT_FALSE(controller->isCanceling());
        EXPECT_FALSE(controller->progress().isValid());
        EXPECT_FALSE(settings().shouldBackupResumeOnStart());
        EXPECT_EQ(activities, 0);
    }

    FakeBackupFacade fake;
    std::shared_ptr<BackupTestFacade> facade;
    std::shared_ptr<RecordingNotificationCenter> center = std::make_shared<RecordingNotificationCenter>();
    std::shared_ptr<OneUser> users = std::make_shared<OneUser>();
    std::unique_ptr<QuotaController> quota;
    UserController userController;
    std::unique_ptr<BackupController> controller;
    std::optional<qint64> capacity = 1000;
    std::chrono::system_clock::time_point clock = std::chrono::system_clock::now();
    int activities = 0;
    int completions = 0;
    std::optional<AppError> outcome;
    LocalizationController texts;
};

TEST(BackupControllerRules, QuotaMustExceedTheNeed) {
    const struct {
        qint64 free;
        std::uint64_t need;
        bool ok;
    } rows[] = {{100, 99, true}, {100, 100, false}, {-1, 0, false}, {0, 0, false}, {1, 0, true},
                {std::numeric_limits<qint64>::max(), UINT64_MAX, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.free << " for " << row.need);
        EXPECT_EQ(quotaSuffices(row.free, row.need), row.ok);
    }
}

TEST(BackupControllerRules, FailuresOnAFullDiskBecomeDiskSpaceProblems) {
    const struct {
        const char* name;
        AppError error;
        std::optional<qint64> capacity;
        bool relabelled;
        std::optional<BackupError> backupError;  // what the completion carries
    } rows[] = {
        {"generic, full", AppError(BusinessError::genericError(QStringLiteral("x"))), 100, true, BackupError::notEnoughFreeSpace},
        {"generic, unreadable", AppError(BusinessError::genericError(QStringLiteral("x"))), std::nullopt, true, BackupError::notEnoughFreeSpace},
        {"generic, room", AppError(BusinessError::genericError(QStringLiteral("x"))), 101, false, std::nullopt},
        {"quota error, full", AppError(QuotaError::quotaUnavailable), 0, true, BackupError::notEnoughFreeSpace},
        {"no connection", AppError(BusinessError::make(Kind::noConnection)), 0, false, std::nullopt},
        {"time-out", AppError(BusinessError::make(Kind::timeout)), 0, false, std::nullopt},
        {"cancelled", AppError(BusinessError::make(Kind::cancelled)), 0, false, std::nullopt},
        {"ended session", AppError(BusinessError::make(Kind::invalidSession)), 0, false, std::nullopt},
        {"api storage", AppError(BusinessError::api(APIError::insufficientStorage)), 0, false, BackupError::notEnoughQuota},
        {"quota violation", AppError(BackupError::notEnoughQuota), 0, false, BackupError::notEnoughQuota},
        {"local storage, room", AppError(BusinessError::make(Kind::insufficientLocalStorage)), 5000, false, BackupError::notEnoughFreeSpace},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const AppError result = relabelledAsDiskSpaceProblem(row.error, row.capacity, 100);
        EXPECT_EQ(!(result == row.error), row.relabelled);
        EXPECT_EQ(backupErrorFrom(result), row.backupError);
    }
}

TEST_F(BackupControllerTest, ABackupRunsThroughPreviewQuotaAndProgress) {
    start();
    EXPECT_TRUE(controller->isInProgress());
    EXPECT_TRUE(controller->isBackingUp());
    EXPECT_TRUE(controller->isPreparing());
    EXPECT_TRUE(settings().shouldBackupResumeOnStart());
    EXPECT_EQ(activities, 1);
    EXPECT_EQ(center->titles(), QStringList{texts.unBackupPreviewTitle()});
    fake.previewProgress(OVProgress{4, 2});
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return controller->previewProgress() == OVProgress{4, 2}; }, 3000));
    EXPECT_EQ(controller->progress().value<OVProgress>(), (OVProgress{4, 2}));

    passPreview(previewOf(2, 50));
    answerQuota(OVQuota{1000, 949, 51});
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return bool(fake.backUpDone); }, 3000));
    EXPECT_FALSE(controller->isPreparing());
    ASSERT_TRUE(controller->backupProgress());
    EXPECT_EQ(controller->backupProgress()->itemsCount(), 2);
    EXPECT_EQ(controller->backupProgress()->size(), 50);
    fake.backUpProgress(BackupProgress{2, 1, 50, 0, 20});
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return controller->backupProgress()->processedSize() == 20; }, 3000));
    EXPECT_EQ(controller->progress().value<std::shared_ptr<ObjCBackupProgress>>(), controller->backupProgress());

    fake.backUpDone(BackupProcessReport{true, 2, 0});
    ASSERT_TRUE(waitForCompletion());
    EXPECT_FALSE(outcome.has_value());
    EXPECT_EQ(statusCase(), BackupStatus::Case::succeeded);
    EXPECT_EQ(center->titles(), (QStringList{texts.unBackupPreviewTitle(), texts.unBackupStartedTitle(), texts.unBackupFinishedTitle()}));
    expectIdle();
}

TEST_F(BackupControllerTest, EveryFailureEndsWithItsStatusNotificationAndError) {
    enum class Stage { space, preview, quota, backUp };
    const struct {
        const char* name;
        Stage stage;
        qint64 freeQuota;
        std::optional<BusinessError> failure;
        qint64 capacityAtEnd;
        std::optional<BackupError> expected;  // else the business kind below
        Kind kind;
        BackupStatus::Case status;
        QString title;
        QString text;
    } rows[] = {
        {"disk exactly at the minimum", Stage::space, 0, std::nullopt, 100, BackupError::notEnoughFreeSpace, Kind::generic,
         BackupStatus::Case::failedAt, texts.unBackupErrorTitle(), texts.brAlertNotEnoughSpaceToBackupInformative()},
        {"quota equal to the need", Stage::quota, 50, std::nullopt, 1000, BackupError::notEnoughQuota, Kind::generic,
         BackupStatus::Case::failedAt, texts.unBackupErrorTitle(), texts.syAlertBackupQuotaViolationInformative()},
        {"preview fails on a full disk", Stage::preview, 0, BusinessError::genericError(QStringLiteral("x")), 100,
         BackupError::notEnoughFreeSpace, Kind::generic, BackupStatus::Case::failedAt, texts.unBackupErrorTitle(),
         texts.brAlertNotEnoughSpaceToBackupInformative()},
        {"preview offline on a full disk", Stage::preview, 0, BusinessError::make(Kind::noConnection), 100, std::nullopt,
         Kind::noConnection, BackupStatus::Case::failedAt, texts.unBackupErrorTitle(), {}},
        {"quota fetch fails on a full disk", Stage::quota, -1, BusinessError::genericError(QStringLiteral("q")), 50,
         BackupError::notEnoughFreeSpace, Kind::generic, BackupStatus::Case::failedAt, texts.unBackupErrorTitle(), {}},
        {"service out of storage", Stage::backUp, 0, BusinessError::api(APIError::insufficientStorage), 1000,
         BackupError::notEnoughQuota, Kind::generic, BackupStatus::Case::failedAt, texts.unBackupErrorTitle(), {}},
        {"cancelled by the service", Stage::backUp, 0, BusinessError::make(Kind::cancelled), 1000, std::nullopt,
         Kind::cancelled, BackupStatus::Case::skipped, texts.unBackupCancelledTitle(), texts.unBackupCancelledInformative()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        center->added.clear();
        capacity = row.stage == Stage::space ? row.capacityAtEnd : 1000;
        fake.previewDone = nullptr;
        fake.backUpDone = nullptr;
        start();
        if (row.stage != Stage::space) {
            if (row.stage == Stage::preview) {
                capacity = row.capacityAtEnd;
                fake.previewDone(*row.failure);
            } else {
                passPreview(previewOf(1, 50));
                if (row.stage == Stage::quota) {
                    capacity = row.capacityAtEnd;
                    answerQuota(row.failure ? BusinessResult<OVQuota>(*row.failure) : OVQuota{100, 50, row.freeQuota});
                } else {
                    answerQuota(OVQuota{1000, 0, 1000});
                    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return bool(fake.backUpDone); }, 3000));
                    capacity = row.capacityAtEnd;
                    fake.backUpDone(*row.failure);
                }
            }
        }
        ASSERT_TRUE(waitForCompletion());
        ASSERT_TRUE(outcome.has_value());
        if (row.expected) {
            ASSERT_TRUE(outcome->backupError());
            EXPECT_EQ(*outcome->backupError(), *row.expected);
        } else {
            ASSERT_TRUE(outcome->businessError());
            EXPECT_EQ(outcome->businessError()->kind, row.kind);
        }
        EXPECT_EQ(statusCase(), row.status);
        ASSERT_FALSE(center->titles().isEmpty());
        EXPECT_EQ(center->titles().back(), row.title);
        if (!row.text.isEmpty()) {
            EXPECT_EQ(center->texts().back(), row.text);
        }
        EXPECT_EQ(completions, 1);
        expectIdle();
    }
}

TEST_F(BackupControllerTest, CancellingFollowsThePhase) {
    controller->cancel();  // idle: nothing at all
    EXPECT_FALSE(controller->isCanceling());
    EXPECT_EQ(fake.cancelCalls, 0);

    // During the quota check only the request is dropped, and the backup still ends.
    start();
    passPreview(previewOf(1, 10));
    controller->cancel();
    EXPECT_TRUE(users->account->requests.back()->isCancelled());
    EXPECT_EQ(fake.cancelCalls, 0);
    ASSERT_EQ(completions, 1);
    ASSERT_TRUE(outcome && outcome->businessError());
    EXPECT_EQ(outcome->businessError()->kind, Kind::cancelled);
    EXPECT_EQ(statusCase(), BackupStatus::Case::skipped);
    EXPECT_EQ(center->titles().back(), texts.unBackupCancelledTitle());
    expectIdle();

    // During the back-up the service is told and the end comes through its completion.
    start();
    passPreview(previewOf(1, 10));
    answerQuota(OVQuota{1000, 0, 1000});
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return bool(fake.backUpDone); }, 3000));
    controller->cancelIfBackingUp();
    EXPECT_EQ(fake.cancelCalls, 1);
    EXPECT_TRUE(controller->isCanceling());
    EXPECT_TRUE(controller->isInProgress());
    EXPECT_FALSE(controller->backupProgress());
    fake.backUpProgress(BackupProgress{1, 1, 10, 0, 10});  // late report: no progress comes back
    fake.backUpDone(BusinessError::make(Kind::cancelled));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_FALSE(controller->backupProgress());
    expectIdle();

    // A second start while one runs starts nothing and hears the running backup's outcome.
    start();
    const auto firstPreview = fake.previewDone;
    fake.previewDone = nullptr;
    int joinedAnswers = 0;
    std::optional<AppError> joinedOutcome;
    controller->startBackup(BackupController::Completion([&](const std::optional<AppError>& e) {
        ++joinedAnswers;
        joinedOutcome = e;
    }));
    EXPECT_FALSE(fake.previewDone);
    firstPreview(BusinessError::make(Kind::noConnection));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(joinedAnswers, 1);
    EXPECT_TRUE(joinedOutcome == outcome);
}

TEST_F(BackupControllerTest, ACancelledBackupNeverStartsItsTransfer) {
    enum class Phase { previewAnswersAnyway, ownQuotaRequest, joinedQuotaRequest };
    for (const Phase phase : {Phase::previewAnswersAnyway, Phase::ownQuotaRequest, Phase::joinedQuotaRequest}) {
        SCOPED_TRACE(int(phase));
        fake.previewDone = nullptr;
        fake.backUpDone = nullptr;
        start();
        if (phase == Phase::previewAnswersAnyway) {
            controller->cancel();
            fake.previewDone(previewOf(1, 10));  // the service did not stop in time
        } else {
            if (phase == Phase::joinedQuotaRequest) {
                // Someone else fetches the quota; the backup can only wait on that fetch.
                quota->updateQuota(false, [](const QuotaResult&) {});
                fake.previewDone(previewOf(1, 10));
                bool hopped = false;
                MainQueue::async([&] { hopped = true; });
                ASSERT_TRUE(TestEnvironment::waitUntil([&] { return hopped; }, 3000));
            } else {
                passPreview(previewOf(1, 10));
            }
            controller->cancel();
            EXPECT_EQ(completions, 1);  // ended at once, not when the quota comes
            // A joined fetch still answers; a cancelled one of the backup's own does not.
            EXPECT_EQ(users->account->requests.back()->answer(OVQuota{1000, 0, 1000}), phase == Phase::joinedQuotaRequest);
        }
        TestEnvironment::waitUntil([] { return false; }, 30);  // late answers have their chance
        EXPECT_FALSE(fake.backUpDone);
        ASSERT_EQ(completions, 1);
        ASSERT_TRUE(outcome && outcome->businessError());
        EXPECT_EQ(outcome->businessError()->kind, Kind::cancelled);
        EXPECT_EQ(statusCase(), BackupStatus::Case::skipped);
        expectIdle();
    }
}

TEST_F(BackupControllerTest, ABackupDoesNotStartWhileARestoreRuns) {
    controller->restore(BackupObject{}, {true, false, false, false}, {});
    start();
    ASSERT_EQ(completions, 1);
    ASSERT_TRUE(outcome && outcome->backupError());
    EXPECT_EQ(*outcome->backupError(), BackupError::restoreInProgress);
    EXPECT_FALSE(fake.previewDone);
    EXPECT_FALSE(controller->isInProgress());
    EXPECT_FALSE(statusCase().has_value());  // no backup ran, so none failed
    fake.restoreDone(BackupProcessReport{true, 0, 0});
}

TEST_F(BackupControllerTest, ALatestStatusIsShownOnlyToItsAccount) {
    const QByteArray failed = BackupStatus::failed().encoded();
    const struct {
        const char* name;
        std::optional<QString> storedFor;  // none: a record kept from before records had owners
        QStringList signIns;               // in turn from signed out; an empty one signs out
        bool shown;
    } rows[] = {
        {"its own account", QStringLiteral("acc-1"), {"acc-1"}, true},
        {"signed out", QStringLiteral("acc-1"), {}, false},
        {"the next account", QStringLiteral("acc-1"), {"acc-2"}, false},
        {"the same account again", QStringLiteral("acc-1"), {"acc-2", "", "acc-1"}, true},
        {"an old record, first account", std::nullopt, {"acc-2"}, true},
        {"an old record, once claimed", std::nullopt, {"acc-2", "", "acc-1"}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        signInAs({});
        settings().setLatestBackupStatusAccountId(row.storedFor);
        settings().setLatestBackupStatus(failed);
        int heard = 0;
        const auto observation = QObject::connect(controller.get(), &BackupController::latestBackupStatusChanged,
                                                  [&] { ++heard; });
        for (const QString& account : row.signIns) signInAs(account);
        QObject::disconnect(observation);
        EXPECT_EQ(statusCase().has_value(), row.shown);
        EXPECT_EQ(heard, row.signIns.size());  // each change of account is told
        EXPECT_EQ(settings().latestBackupStatus(), failed);  // the record itself is never lost
    }

    // A backup cancelled by signing out is its own account's, never the next one's.
    signInAs(QStringLiteral("acc-1"));
    start();
    userController.setIsLogoutInProgress(true);
    signInAs({});
    userController.setIsLogoutInProgress(false);
    fake.previewDone(BusinessError::make(Kind::cancelled));
    ASSERT_TRUE(waitForCompletion());
    signInAs(QStringLiteral("acc-2"));
    EXPECT_FALSE(statusCase().has_value());
    signInAs(QStringLiteral("acc-1"));
    EXPECT_EQ(statusCase(), BackupStatus::Case::skipped);

    // A run nobody was signed in for fails for nobody, neither the next account nor the last.
    signInAs({});
    start();
    fake.previewDone(BusinessError::genericError(QStringLiteral("no session")));
    ASSERT_TRUE(waitForCompletion());
    signInAs(QStringLiteral("acc-2"));
    EXPECT_FALSE(statusCase().has_value());
    signInAs(QStringLiteral("acc-1"));
    EXPECT_EQ(statusCase(), BackupStatus::Case::skipped);
}

TEST_F(BackupControllerTest, BackUpNowIsOfferedOnlyWhenABackupCanStart) {
    const struct {
        const char* name;
        std::function<void()> change;
        bool available;
    } rows[] = {
        {"set up, online, idle", [] {}, true},
        {"no category chosen (a fresh account)", [this] { settings().setBackupContacts(false); }, false},
        {"no name", [this] { settings().setBackupName(QString()); }, false},
        {"signed out", [this] { signInAs({}); }, false},
        {"signing out", [this] { userController.setIsLogoutInProgress(true); }, false},
        {"offline", [this] { controller->reachability().setIsConnected(false); }, false},
        {"restoring", [this] { controller->setIsRestoring(true); }, false},
        {"backing up", [this] { controller->setIsInProgress(true); }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        signInAs(QStringLiteral("acc-1"));
        controller->reachability().setIsConnected(true);
        settings().setBackupName(QStringLiteral("Desk"));
        settings().setBackupContacts(true);
        ASSERT_TRUE(controller->isStartBackupAvailable());
        int heard = 0;
        const auto observation = QObject::connect(controller.get(), &BackupController::isStartBackupAvailableChanged,
                                                  [&] { ++heard; });
        row.change();
        QObject::disconnect(observation);
        EXPECT_EQ(controller->isStartBackupAvailable(), row.available);
        EXPECT_EQ(heard, row.available ? 0 : 1);
        userController.setIsLogoutInProgress(false);
        controller->setIsRestoring(false);
        controller->setIsInProgress(false);
    }
}

TEST_F(BackupControllerTest, FreeSpaceIsReadWhereTheBackupWrites) {
    // The backup service names a folder that does not exist yet, and there is no ~/Documents.
    QTemporaryDir dir(QStringLiteral("/dev/shm/backup-volume-XXXXXX"));
    const QString destination = dir.filePath(QStringLiteral("service/backups/anna"));
    const auto shm = backupVolumeAvailableCapacity(dir.path());
    ASSERT_TRUE(shm.has_value());
    const auto nested = backupVolumeAvailableCapacity(destination);
    ASSERT_TRUE(nested.has_value());
    EXPECT_GT(*nested, 0);
    EXPECT_TRUE(backupVolumeAvailableCapacity(QString()).has_value());  // the home folder's volume

    fake.destination = destination;
    BackupController fresh(*quota, userController, OVBackupDependencyProvider{100}, true);
    fresh.startBackup(BackupController::Completion([this](const std::optional<AppError>& e) {
        ++completions;
        outcome = e;
    }));
    EXPECT_TRUE(fresh.isPreparing()) << (outcome ? outcome->textualDescription().toStdString() : "");
    EXPECT_EQ(completions, 0);
    fresh.cancel();
}

TEST_F(BackupControllerTest, RestoresEndWithTheirReport) {
    const struct {
        const char* name;
        BusinessResult<BackupProcessReport> result;
        bool cancel;
        std::optional<AppError::Case> expected;
    } rows[] = {
        {"complete", BackupProcessReport{true, 3, 0}, false, std::nullopt},
        {"incomplete", BackupProcessReport{false, 2, 1}, false, AppError::Case::restoreError},
        {"cancelled", BusinessError::make(Kind::cancelled), true, AppError::Case::notHandledBusinessError},
        {"cancelled but finished", BackupProcessReport{true, 3, 0}, true, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        completions = 0;
        outcome.reset();
        controller->restore(BackupObject{}, {true, false, false, false}, [this](const std::optional<AppError>& e) {
            ++completions;
            outcome = e;
        });
        EXPECT_TRUE(controller->isRestoring());
        EXPECT_FALSE(controller->isInProgress());
        EXPECT_EQ(activities, 1);
        fake.restoreProgress(BackupProgress{3, 1, 30, 0, 10});
        ASSERT_TRUE(TestEnvironment::waitUntil([this] { return controller->backupProgress() != nullptr; }, 3000));
        if (row.cancel) controller->cancel();
        fake.restoreDone(row.result);
        ASSERT_TRUE(waitForCompletion());
        EXPECT_EQ(outcome.has_value(), row.expected.has_value());
        if (outcome && row.expected) {
            EXPECT_EQ(outcome->errorCase(), *row.expected);
        }
        EXPECT_FALSE(controller->isRestoring());
        EXPECT_FALSE(controller->isCanceling());
        EXPECT_FALSE(controller->backupProgress());
        EXPECT_EQ(activities, 0);
    }
}

TEST_F(BackupControllerTest, ListsDropDuplicatesAndShowThisMachinesSkippedBackups) {
    const QDateTime t0(QDate(2026, 1, 1), QTime(10, 0), QTimeZone::utc());
    const auto make = [&](const char* name, bool own, bool completed, OperatingSystem os, int minutes) {
        BackupObject b;
        b.name = QString::fromUtf8(name);
        b.isFromCurrentDevice = own;
        b.isCompleted = completed;
        if (completed) b.endDate = t0.addSecs(minutes * 60 + 30);
        b.startDate = t0.addSecs(minutes * 60);
        b.modificationDate = t0.addSecs(minutes * 60 + 10);
        b.operatingSystem = os;
        return b;
    };
    fake.listResult = std::vector<BackupObject>{
        make("phone", false, true, OperatingSystem::android, 1), make("own", true, false, OperatingSystem::linux, 2),
        make("own", true, false, OperatingSystem::linux, 2), make("other desk", false, false, OperatingSystem::linux, 3),
        make("done", true, true, OperatingSystem::linux, 4)};
    const struct {
        const char* name;
        std::optional<BackupStatus> latest;
        std::optional<BackupStatus> ownStatus;
    } rows[] = {
        {"latest skipped", BackupStatus::skipped(), BackupStatus::skippedAt(t0.addSecs(130))},
        {"latest failed", BackupStatus::failedAt(t0), BackupStatus::failedAt(t0)},
        // An interrupted run never shows the success of an earlier one.
        {"latest succeeded", BackupStatus::succeeded(t0.addSecs(600)), BackupStatus::failedAt(t0.addSecs(130))},
        {"no latest", std::nullopt, BackupStatus::failedAt(t0.addSecs(130))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        controller->setLatestBackupStatus(row.latest ? std::make_shared<ObjCBackupStatus>(*row.latest) : nullptr);
        std::optional<std::vector<std::shared_ptr<ObjCBackupObject>>> listed;
        controller->availableBackups([&](auto objects) { listed = objects; });
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return listed.has_value(); }, 3000));
        QStringList names;
        for (const auto& o : *listed) names << o->name();
        EXPECT_EQ(names, (QStringList{"own", "other desk", "done", "phone"}));
        ASSERT_TRUE(listed->at(0)->status());
        EXPECT_TRUE(listed->at(0)->status()->backupStatus() == *row.ownStatus);
        EXPECT_TRUE(listed->at(1)->status()->backupStatus() == BackupStatus::failedAt(t0.addSecs(190)));
        EXPECT_TRUE(listed->at(2)->status()->backupStatus() == BackupStatus::succeeded(t0.addSecs(270)));
    }
    fake.listResult = BusinessError::make(Kind::noConnection);
    std::optional<size_t> count;
    controller->availableBackups([&](auto objects) { count = objects.size(); });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return count.has_value(); }, 3000));
    EXPECT_EQ(*count, 0u);
}

TEST_F(BackupControllerTest, LegacyDatesConvertOnce) {
    const QDateTime date(QDate(2024, 5, 6), QTime(7, 8, 9), QTimeZone::utc());
    const struct {
        const char* name;
        std::optional<QDateTime> legacy;
        std::optional<QByteArray> stored;
    } rows[] = {
        {"nothing stored", std::nullopt, std::nullopt},
        {"distant past", QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc()), QByteArray(R"({"failed":true})")},
        {"a date", date, BackupStatus::succeeded(date).encoded()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings().setLatestBackupStatus(std::nullopt);
        settings().setLatestBackupDate(row.legacy);
        EXPECT_EQ(controller->updateLatestBackupStatus(), row.legacy.has_value());
        EXPECT_EQ(settings().latestBackupStatus(), row.stored);
        EXPECT_FALSE(settings().latestBackupDate().has_value());
        EXPECT_FALSE(controller->updateLatestBackupStatus());
    }
    settings().setLatestBackupStatus(QByteArray("{broken"));
    EXPECT_FALSE(controller->latestBackupStatus());
}

TEST_F(BackupControllerTest, TheDailyScheduleFollowsItsSettings) {
    const QDateTime now = QDateTime::currentDateTime();
    const struct {
        const char* name;
        bool automatically;
        std::optional<QDateTime> date;
        std::optional<qint64> expectedMs;  // until the first timer fires; none: no timer
    } rows[] = {
        {"off", false, now.addSecs(3600), std::nullopt},
        {"no date", true, std::nullopt, std::nullopt},
        {"later today", true, now.addDays(-30).addSecs(3600), 3600 * 1000},
        {"passed today", true, now.addDays(-30).addSecs(-3600), 23 * 3600 * 1000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings().setNextBackupDate(row.date);
        settings().setBackupAutomatically(row.automatically);
        controller->rescheduleTimers();
        ASSERT_EQ(controller->firstAutomaticBackupTimer() != nullptr, row.expectedMs.has_value());
        EXPECT_EQ(controller->automaticBackupTimer(), nullptr);
        if (row.expectedMs) {
            // Daylight-saving changes within the month may move the time by an hour.
            const qint64 remaining = controller->firstAutomaticBackupTimer()->remainingTime();
            EXPECT_TRUE(std::abs(remaining - *row.expectedMs) < 5000 || std::abs(std::abs(remaining - *row.expectedMs) - 3600000) < 5000)
                << remaining;
        }
    }
    // The observation reschedules at each change of the switch, not of the date.
    settings().setNextBackupDate(now.addSecs(7200));
    settings().setBackupAutomatically(false);
    EXPECT_EQ(controller->firstAutomaticBackupTimer(), nullptr);
    settings().setBackupAutomatically(true);
    ASSERT_NE(controller->firstAutomaticBackupTimer(), nullptr);
    controller->workspaceWillSleep();
    EXPECT_EQ(controller->firstAutomaticBackupTimer(), nullptr);
    controller->workspaceDidWake();
    EXPECT_NE(controller->firstAutomaticBackupTimer(), nullptr);

    // The first firing starts a backup and the daily timer.
    controller->firstAutomaticBackupTimer()->start(0);
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return controller->automaticBackupTimer() != nullptr; }, 3000));
    EXPECT_TRUE(controller->isPreparing());
    EXPECT_EQ(controller->automaticBackupTimer()->interval(), 86400 * 1000);
}

TEST_F(BackupControllerTest, SleepAndSignOutCancelBackupsButNotRestores) {
    controller->restore(BackupObject{}, {true, false, false, false}, {});
    controller->workspaceWillSleep();
    EXPECT_TRUE(controller->isRestoring());
    fake.restoreDone(BackupProcessReport{true, 0, 0});
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return !controller->isRestoring(); }, 3000));

    start();
    controller->workspaceWillSleep();
    EXPECT_TRUE(controller->isCanceling());
    EXPECT_EQ(fake.cancelCalls, 1);
    fake.previewDone(BusinessError::make(Kind::cancelled));
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(statusCase(), BackupStatus::Case::skipped);

    start();
    userController.setIsLogoutInProgress(true);
    EXPECT_TRUE(controller->isCanceling());
    EXPECT_EQ(fake.cancelCalls, 2);
}

// The whole way through the real backup service over a temporary service tree.
TEST_F(BackupControllerTest, BacksUpAndRestoresRealFiles) {
    QTemporaryDir dir(QStringLiteral("/dev/shm/backup-controller-XXXXXX"));
    auto service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
    ASSERT_TRUE(service->createAccount(QStringLiteral("anna"), QStringLiteral("a@example.com"), QStringLiteral("correct horse 1")));
    BackupSources sources{dir.filePath(QStringLiteral("contacts")), dir.filePath(QStringLiteral("calendars")),
                          dir.filePath(QStringLiteral("Pictures")), dir.filePath(QStringLiteral("Videos"))};
    QDir().mkpath(sources.contacts);
    QFile card(sources.contacts + QStringLiteral("/anna.vcf"));
    ASSERT_TRUE(card.open(QIODevice::WriteOnly));
    card.write("BEGIN:VCARD\nFN:Anna\nEND:VCARD\n");
    card.close();
    auto client = std::make_shared<EmbeddedServiceClient>(service);
    ASSERT_TRUE(client->signIn(QStringLiteral("anna"), QStringLiteral("correct horse 1")));
    OrvellaBackupFacade real(client, [] { return std::optional<QString>(QStringLiteral("anna")); }, sources,
                             BackupDeviceIdentity{QStringLiteral("this"), QStringLiteral("desk")});
    facade->backup = &real;

    start();
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return !users->account->requests.empty(); }, 3000));
    answerQuota(OVQuota{1 << 20, 0, 1 << 20});
    ASSERT_TRUE(waitForCompletion());
    ASSERT_FALSE(outcome.has_value()) << outcome->textualDescription().toStdString();

    std::vector<std::shared_ptr<ObjCBackupObject>> listed;
    controller->availableBackups([&](auto objects) { listed = objects; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !listed.empty(); }, 3000));
    EXPECT_EQ(listed[0]->name(), QStringLiteral("Desk"));
    EXPECT_TRUE(listed[0]->containsContacts());

    ASSERT_TRUE(QFile::remove(card.fileName()));
    completions = 0;
    controller->restore(listed[0]->representedObject(), {true, false, false, false},
                        [this](const std::optional<AppError>& e) { ++completions; outcome = e; });
    ASSERT_TRUE(waitForCompletion());
    EXPECT_FALSE(outcome.has_value());
    ASSERT_TRUE(card.open(QIODevice::ReadOnly));
    EXPECT_EQ(card.readAll(), QByteArray("BEGIN:VCARD\nFN:Anna\nEND:VCARD\n"));
}

}  // namespace
