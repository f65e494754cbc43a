#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "service/StorageService.h"

namespace {

class EnvScope {
public:
    EnvScope(const char* name, const QByteArray& value) : name_(name), saved_(qgetenv(name)) {
        if (value.isNull()) qunsetenv(name);
        else qputenv(name, value);
    }
    ~EnvScope() { qputenv(name_, saved_); }

private:
    const char* name_;
    QByteArray saved_;
};

TEST(StorageServiceTest, DefaultRootFollowsTheEnvironment) {
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const struct {
        QByteArray serviceRoot;
        QString expected;
    } cases[] = {
        {"/dev/shm/x/service/", "/dev/shm/x/service"},
        {QByteArray(), QString::fromUtf8(data) + "/OrvellaService"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        EnvScope scope("ORVELLA_SERVICE_ROOT", c.serviceRoot);
        EXPECT_EQ(StorageService::defaultRoot(), c.expected);
    }
}

TEST(StorageServiceTest, CreatesOwnerOnlyFoldersOnFirstUse) {
    QTemporaryDir dir;
    StorageService service(dir.filePath("root"));
    ASSERT_TRUE(service.ensureCreated());
    for (const QString& path : {service.root(), service.accountsFolder(), service.sessionsFolder()}) {
        SCOPED_TRACE(path.toStdString());
        const QFileInfo info(path);
        EXPECT_TRUE(info.isDir());
        EXPECT_FALSE(info.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup));
    }
    EXPECT_TRUE(QFileInfo(service.usersFolder()).isDir());
    EXPECT_TRUE(service.ensureCreated());  // again: nothing to do, still fine
}

TEST(StorageServiceTest, ReportsFailureWhenTheRootCannotBeAFolder) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StorageService service(dir.filePath("file/root"));
    EXPECT_FALSE(service.ensureCreated());
}

}  // namespace
