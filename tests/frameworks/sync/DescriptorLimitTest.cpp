// A first sync over far more folders than the process may hold descriptors: it must converge,
// never hold one per folder, and never fail items for the process's own shortage.
#include "SyncTestSupport.h"

#include <QCoreApplication>
#include <QProcess>

#include <sys/resource.h>

namespace {

const char* const childRoot = "ORVELLA_TEST_DESCRIPTOR_ROOT";
const char* const childLimit = "ORVELLA_TEST_DESCRIPTOR_LIMIT";

// Runs only in the process DescriptorLimit starts: the limit would hold for every other test too.
TEST(DescriptorLimitChild, SyncsTheTreesItIsGiven) {
    const QString root = qEnvironmentVariable(childRoot);
    if (root.isEmpty()) GTEST_SKIP() << "started by DescriptorLimit.AFirstSyncOfThousandsOfFoldersConverges";
    struct rlimit limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    limit.rlim_cur = qEnvironmentVariable(childLimit).toULong();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);

    auto service = std::make_shared<StorageService>(root + QStringLiteral("/service"));
    RecordingDelegate delegate;
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = root + QStringLiteral("/Orvella");
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    OrvellaSyncEngine engine(configuration, service, service->usersFolder() + QStringLiteral("/alice"),
                             root + QStringLiteral("/SyncData"), OrvellaSyncEngine::Options{30, 200, 0});
    const auto converged = [&] {
        const auto check = engine.requestCheck();
        return TestEnvironment::waitUntil([&] { return engine.checkedCount() >= check; }, 60000) &&
               EngineFixture::tree(configuration.rootDirectoryLocalURL) ==
                   EngineFixture::tree(service->usersFolder() + QStringLiteral("/alice"));
    };
    ASSERT_TRUE(TestEnvironment::waitUntil(converged, 90000));
    for (const SyncErrorInfo& error : engine.syncErrors())
        ADD_FAILURE() << "an item failed: " << error.rootRelativePath.value_or(QString()).toStdString();
}

class DescriptorLimit : public EngineFixture {};

TEST_F(DescriptorLimit, AFirstSyncOfThousandsOfFoldersConverges) {
    std::map<QString, QByteArray> expected;
    for (int f = 0; f < 2000; ++f) {
        // Half start on each side, so that both uploads and downloads need their folders.
        const QString folder = QStringLiteral("folder %1").arg(f, 4, 10, QLatin1Char('0'));
        const QString file = folder + QStringLiteral("/only.txt");
        expected[folder] = "/";
        expected[file] = file.toUtf8();
        write((f % 2 ? remoteRoot : localRoot) + QLatin1Char('/') + file, file.toUtf8());
    }
    // The child's service journals the tree; this one must not at the same time.
    service.reset();
    const QString root = QFileInfo(localRoot).absolutePath();

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childRoot), root);
    environment.insert(QString::fromLatin1(childLimit), QStringLiteral("64"));
    // The child runs the one test it is named; a shard of the parent's run would leave it out.
    environment.remove(QStringLiteral("GTEST_TOTAL_SHARDS"));
    environment.remove(QStringLiteral("GTEST_SHARD_INDEX"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=DescriptorLimitChild.*")});
    ASSERT_TRUE(child.waitForFinished(120000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(tree(localRoot), expected);
    EXPECT_EQ(tree(remoteRoot), expected);
}

}  // namespace
