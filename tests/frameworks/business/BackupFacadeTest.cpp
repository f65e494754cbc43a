#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

#include <csignal>
#include <sys/resource.h>

#include "FacadeTestSupport.h"
#include "frameworks/business/OrvellaBackupFacade.h"
#include "service/EmbeddedServiceClient.h"

namespace {

const QString user = QStringLiteral("anna");

class BackupFacadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
        ASSERT_TRUE(service->ensureCreated());
        ASSERT_TRUE(service->createAccount(user, QStringLiteral("a@example.com"), QStringLiteral("correct horse 1")));
        client = std::make_shared<EmbeddedServiceClient>(service);
        ASSERT_TRUE(client->signIn(user, QStringLiteral("correct horse 1")));
        sources.contacts = dir.filePath(QStringLiteral("contacts"));
        sources.calendars = dir.filePath(QStringLiteral("calendars"));
        sources.images = dir.filePath(QStringLiteral("Pictures"));
        sources.videos = dir.filePath(QStringLiteral("Videos"));
        facade = make(QStringLiteral("dev-1"));
    }
    std::unique_ptr<OrvellaBackupFacade> make(const QString& device) {
        return std::make_unique<OrvellaBackupFacade>(client, [this] { return signedIn; }, sources,
                                                     BackupDeviceIdentity{device, QStringLiteral("desk")});
    }
    void write(const QString& path, const QByteArray& data) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    BusinessResult<BackupPreview> preview(BackupSettings settings) {
        Outcome<BusinessResult<BackupPreview>> outcome;
        facade->preview(settings, {}, outcome.handler());
        EXPECT_TRUE(outcome.wait());
        return outcome.result();
    }
    BusinessResult<BackupProcessReport> backUp(const BackupPreview& p, std::vector<BackupProgress>* reports = nullptr) {
        Outcome<BusinessResult<BackupProcessReport>> outcome;
        facade->backUp(p, [reports](const BackupProgress& r) { if (reports) reports->push_back(r); }, outcome.handler());
        EXPECT_TRUE(outcome.wait());
        return outcome.result();
    }
    std::vector<BackupObject> list() {
        Outcome<BusinessResult<std::vector<BackupObject>>> outcome;
        facade->list(outcome.handler());
        EXPECT_TRUE(outcome.wait());
        return outcome.result().isSuccess() ? outcome.result().value() : std::vector<BackupObject>{};
    }
    BusinessResult<BackupProcessReport> restore(const BackupObject& b, OVBackupAndRestoreOptions options) {
        Outcome<BusinessResult<BackupProcessReport>> outcome;
        facade->restore(b, RestoreSettings{options}, {}, outcome.handler());
        EXPECT_TRUE(outcome.wait());
        return outcome.result();
    }

    QTemporaryDir dir{QStringLiteral("/dev/shm/backup-facade-XXXXXX")};
    std::shared_ptr<StorageService> service;
    std::shared_ptr<EmbeddedServiceClient> client;
    BackupSources sources;
    std::optional<QString> signedIn = user;
    std::unique_ptr<OrvellaBackupFacade> facade;
    const OVBackupAndRestoreOptions everything{true, true, true, true};
};

TEST_F(BackupFacadeTest, SettingsNeedANameAndACategory) {
    EXPECT_FALSE(facade->backupSettings(QStringLiteral("  "), everything, true));
    EXPECT_FALSE(facade->backupSettings(QStringLiteral("Desk"), {}, true));
    EXPECT_TRUE(facade->backupSettings(QStringLiteral("Desk"), {false, false, false, true}, false));
    EXPECT_FALSE(facade->restoreSettings({}));
}

TEST_F(BackupFacadeTest, RunsAreIncrementalAndFollowDeletions) {
    write(sources.contacts + QStringLiteral("/anna.vcf"), "BEGIN:VCARD");
    write(sources.contacts + QStringLiteral("/notes.txt"), "not a card");
    write(sources.calendars + QStringLiteral("/home.ics"), "BEGIN:VCALENDAR");
    write(sources.images + QStringLiteral("/2026/beach.JPG"), QByteArray(300, 'i'));
    write(sources.images + QStringLiteral("/.thumbnails/t.png"), QByteArray(50, 't'));
    write(sources.videos + QStringLiteral("/clip.mp4"), QByteArray(1000, 'v'));

    const struct {
        const char* name;
        std::function<void()> change;
        bool keepDeleted;
        ContentInfo counts;
        ContentInfo stored;  // item counts in the backup afterwards
    } rows[] = {
        {"first run", [] {}, true, {1, 1, 1, 1}, {1, 1, 1, 1}},
        {"nothing changed", [] {}, true, {0, 0, 0, 0}, {1, 1, 1, 1}},
        {"changed and new", [&] {
             write(sources.images + QStringLiteral("/2026/beach.JPG"), QByteArray(301, 'j'));
             write(sources.contacts + QStringLiteral("/bob.vcf"), "BEGIN:VCARD");
         }, true, {1, 0, 1, 0}, {2, 1, 1, 1}},
        {"deleted but kept", [&] { QFile::remove(sources.videos + QStringLiteral("/clip.mp4")); }, true, {0, 0, 0, 0}, {2, 1, 1, 1}},
        {"deleted and dropped", [] {}, false, {0, 0, 0, 0}, {2, 0, 1, 1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.change();
        auto p = preview(*facade->backupSettings(QStringLiteral("Desk"), everything, row.keepDeleted));
        ASSERT_TRUE(p.isSuccess());
        EXPECT_EQ(p.value().itemCounts, row.counts);
        std::vector<BackupProgress> reports;
        auto done = backUp(p.value(), &reports);
        ASSERT_TRUE(done.isSuccess());
        EXPECT_TRUE(done.value().isComplete);
        ASSERT_EQ(reports.size(), p.value().items.size());
        if (!reports.empty()) {
            EXPECT_EQ(reports.back().processedSize, std::int64_t(p.value().sizes.overall()));
        }
        const auto backups = list();
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(backups[0].itemCounts, row.stored);
        EXPECT_TRUE(backups[0].isCompleted);
        EXPECT_TRUE(backups[0].isFromCurrentDevice);
        EXPECT_EQ(backups[0].operatingSystem, OperatingSystem::linux);
    }
    // Another machine of the same account sees the backup as someone else's.
    facade = make(QStringLiteral("dev-2"));
    EXPECT_FALSE(list().at(0).isFromCurrentDevice);
}

TEST_F(BackupFacadeTest, RestoreNeverReplacesAFile) {
    write(sources.contacts + QStringLiteral("/same.vcf"), "same");
    write(sources.contacts + QStringLiteral("/edited.vcf"), "backed up");
    write(sources.contacts + QStringLiteral("/gone.vcf"), "gone");
    write(sources.images + QStringLiteral("/p.png"), "png");
    auto p = preview(*facade->backupSettings(QStringLiteral("Desk"), everything, true));
    ASSERT_TRUE(p.isSuccess());
    ASSERT_TRUE(backUp(p.value()).isSuccess());
    write(sources.contacts + QStringLiteral("/edited.vcf"), "edited since");
    write(sources.contacts + QStringLiteral("/edited (restored).vcf"), "an older restore");
    QFile::remove(sources.contacts + QStringLiteral("/gone.vcf"));
    QFile::remove(sources.images + QStringLiteral("/p.png"));

    auto done = restore(list().at(0), {true, false, false, false});
    ASSERT_TRUE(done.isSuccess());
    EXPECT_TRUE(done.value().isComplete);
    const struct {
        const char* file;
        QByteArray content;
    } rows[] = {{"contacts/same.vcf", "same"},
                {"contacts/edited.vcf", "edited since"},
                {"contacts/edited (restored).vcf", "an older restore"},
                {"contacts/edited (restored 2).vcf", "backed up"},
                {"contacts/gone.vcf", "gone"},
                {"Pictures/p.png", "<missing>"}};  // photos were not chosen
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EXPECT_EQ(read(dir.filePath(QString::fromUtf8(row.file))), row.content);
    }
    EXPECT_EQ(QDir(sources.contacts).entryList(QDir::Files).size(), 5);
    // A restored file is as readable as any file made anew, not its temporary's owner-only.
    write(dir.filePath(QStringLiteral("fresh")), "x");
    EXPECT_EQ(QFileInfo(sources.contacts + QStringLiteral("/gone.vcf")).permissions(),
              QFileInfo(dir.filePath(QStringLiteral("fresh"))).permissions());
}

// The bytes of an item stop coming halfway (here: the file may not grow any further): nothing of it
// is left in the source folder, neither a part under its name nor a temp file.
TEST_F(BackupFacadeTest, ARestoreCutOffLeavesNothingHalfWritten) {
    write(sources.videos + QStringLiteral("/big.mp4"), QByteArray(3 << 20, 'v'));
    auto p = preview(*facade->backupSettings(QStringLiteral("Desk"), everything, true));
    ASSERT_TRUE(p.isSuccess());
    ASSERT_TRUE(backUp(p.value()).isSuccess());
    ASSERT_TRUE(QFile::remove(sources.videos + QStringLiteral("/big.mp4")));

    rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 1 << 20;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto done = restore(list().at(0), {false, false, true, false});
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(done.isSuccess());
    EXPECT_FALSE(done.value().isComplete);
    EXPECT_EQ(done.value().failedItems, 1);
    EXPECT_EQ(QDir(sources.videos).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList());
}

TEST_F(BackupFacadeTest, FailuresAndCancellationReachTheCompletion) {
    for (int i = 0; i < 40; ++i) write(sources.videos + QStringLiteral("/v%1.mp4").arg(i), QByteArray(1 << 16, 'v'));
    auto p = preview(*facade->backupSettings(QStringLiteral("Desk"), everything, true));
    ASSERT_TRUE(p.isSuccess());
    Outcome<BusinessResult<BackupProcessReport>> outcome;
    std::atomic<int> reports{0};
    facade->backUp(p.value(), [&](const BackupProgress&) {
        if (++reports == 2) facade->cancel();
    }, outcome.handler());
    ASSERT_TRUE(outcome.wait());
    ASSERT_FALSE(outcome.result().isSuccess());
    EXPECT_EQ(outcome.result().error().kind, BusinessError::Kind::cancelled);
    EXPECT_LT(reports.load(), 40);
    ASSERT_EQ(list().size(), 1u);
    EXPECT_FALSE(list()[0].isCompleted);
    // A cancel while idle does not spoil the next request.
    facade->cancel();
    EXPECT_TRUE(preview(p.value().settings).isSuccess());

    signedIn.reset();
    EXPECT_EQ(preview(p.value().settings).error().kind, BusinessError::Kind::invalidSession);
    signedIn = user;
    service->setReachable(false);
    EXPECT_EQ(preview(p.value().settings).error().kind, BusinessError::Kind::noConnection);
}

}  // namespace
