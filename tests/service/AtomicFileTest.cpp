#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "service/AtomicFile.h"

namespace {

TEST(AtomicFileTest, ReplacesWholeOrNotAtAll) {
    QTemporaryDir dir;
    const QString path = dir.filePath("data.json");
    const struct {
        const char* label;
        QByteArray data;
        bool injectFailure;
        QByteArray expected;
    } steps[] = {
        {"first", "version one", false, "version one"},
        {"replace", "version two, longer than the first", false, "version two, longer than the first"},
        {"failed", "version three", true, "version two, longer than the first"},
        {"shorter", "v4", false, "v4"},
        {"empty", "", false, ""},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.label);
        AtomicFile::failNextWritesForTesting(s.injectFailure ? 1 : 0);
        QString error;
        EXPECT_EQ(AtomicFile::write(path, s.data, 0600, &error), !s.injectFailure);
        EXPECT_EQ(error.isEmpty(), !s.injectFailure);
        EXPECT_EQ(AtomicFile::read(path).value_or("<missing>"), s.expected);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"data.json"});
    }
}

TEST(AtomicFileTest, WritesTheAskedModeAndReportsMissingFolders) {
    QTemporaryDir dir;
    const struct {
        unsigned mode;
        QFileDevice::Permissions expected;
    } cases[] = {
        {0600, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser},
        {0644, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser |
                   QFileDevice::ReadGroup | QFileDevice::ReadOther},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const QString path = dir.filePath(QString::number(c.mode, 8));
        ASSERT_TRUE(AtomicFile::write(path, "x", c.mode));
        EXPECT_EQ(QFileInfo(path).permissions(), c.expected);
    }
    QString error;
    EXPECT_FALSE(AtomicFile::write(dir.filePath("missing/file"), "x", 0600, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(AtomicFile::read(dir.filePath("missing/file")).has_value());
}

}  // namespace
