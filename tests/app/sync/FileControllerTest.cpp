#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <mutex>
#include <utility>

#include "app/core/support/PathsTestSupport.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/FileController.h"
#include "frameworks/logger/Logger.h"

namespace {

// Every file and folder below `root`, relative, sorted; files with their content.
QStringList treeOf(const QString& root) {
    QStringList items;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QString item = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isFile()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) item += QLatin1Char('=') + QString::fromUtf8(file.readAll());
        }
        items << item;
    }
    items.sort();
    return items;
}

// The lines logged on the set-up channel while it lives.
struct SetupLog {
    SetupLog() {
        sink = Logger::addSink([this](const LogEntry& entry) {
            std::lock_guard lock(mutex);
            if (entry.channel == QLatin1String("Setup")) lines << entry.message;
        });
    }
    ~SetupLog() { Logger::removeSink(sink); }
    QStringList take() {
        Logger::flush();
        std::lock_guard lock(mutex);
        return std::exchange(lines, {});
    }
    std::mutex mutex;
    QStringList lines;
    Logger::SinkId sink;
};

TEST(FileControllerTest, ContentsMoveOneLevelDownAndNothingIsReplaced) {
    const struct {
        const char* name;
        std::initializer_list<std::pair<const char*, const char*>> before;
        QStringList after;
        int failures;
    } cases[] = {
        {"contents move with their subfolders",
         {{"a.txt", "A"}, {"Docs/b.txt", "B"}, {"Docs/Deep/c.txt", "C"}, {".hidden", "H"}},
         {"Orvella", "Orvella/.hidden=H", "Orvella/Docs", "Orvella/Docs/Deep", "Orvella/Docs/Deep/c.txt=C",
          "Orvella/Docs/b.txt=B", "Orvella/a.txt=A"},
         0},
        {"an empty folder gets an empty sync folder", {}, {"Orvella"}, 0},
        // The folder already holds one named like the new one: it is the destination, not moved into itself.
        {"an existing inner folder is kept as the destination",
         {{"Orvella/old.txt", "O"}, {"new.txt", "N"}},
         {"Orvella", "Orvella/new.txt=N", "Orvella/old.txt=O"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTestBusinessFacade facade;
        QTemporaryDir dir(QStringLiteral("/dev/shm/filecontroller-XXXXXX"));
        const QString source = dir.path() + QStringLiteral("/Picked");
        ASSERT_TRUE(QDir().mkpath(source));
        ASSERT_TRUE(makeTree(source, c.before));
        SetupLog log;
        const FileMoveReport report = FileController().move(source, source + QStringLiteral("/Orvella"));
        EXPECT_EQ(log.take().size(), c.failures);
        EXPECT_TRUE(report.isComplete()) << report.description().toStdString();
        EXPECT_EQ(treeOf(source), c.after);
        EXPECT_FALSE(facade.settings().syncRoot().has_value());
    }
}

TEST(FileControllerTest, AClashKeepsBothItemsAndIsLogged) {
    ScopedTestBusinessFacade facade;
    QTemporaryDir dir(QStringLiteral("/dev/shm/filecontroller-XXXXXX"));
    const QString source = dir.path() + QStringLiteral("/Picked");
    const QString destination = dir.path() + QStringLiteral("/Elsewhere");
    ASSERT_TRUE(makeTree(source, {{"same.txt", "mine"}, {"other.txt", "O"}}));
    ASSERT_TRUE(makeTree(destination, {{"same.txt", "theirs"}}));
    SetupLog log;
    const FileMoveReport report = FileController().move(source, destination);
    EXPECT_EQ(treeOf(source), QStringList{"same.txt=mine"});
    EXPECT_EQ(treeOf(destination), (QStringList{"other.txt=O", "same.txt=theirs"}));
    EXPECT_EQ(log.take(), QStringList{QStringLiteral("Cannot move item from %1/same.txt to %2/same.txt.").arg(source, destination)});
    // A partial move is never a success: the item left behind is named, with its reason.
    EXPECT_FALSE(report.isComplete());
    ASSERT_EQ(report.notMoved.size(), 1u);
    EXPECT_EQ(report.notMoved[0].name, QStringLiteral("same.txt"));
    EXPECT_TRUE(report.notMoved[0].reason.contains(destination)) << report.notMoved[0].reason.toStdString();
    EXPECT_TRUE(report.description().startsWith(QStringLiteral("same.txt: ")));
}

TEST(FileControllerTest, ADestinationThatCannotBeMadeLeavesTheTreeAndPointsTheRootAtTheSource) {
    ScopedTestBusinessFacade facade;
    QTemporaryDir dir(QStringLiteral("/dev/shm/filecontroller-XXXXXX"));
    const QString source = dir.path() + QStringLiteral("/Picked");
    // A file where the new folder has to go.
    ASSERT_TRUE(makeTree(source, {{"Orvella", "a file"}, {"a.txt", "A"}}));
    SetupLog log;
    const FileMoveReport report = FileController().move(source, source + QStringLiteral("/Orvella"));
    EXPECT_FALSE(report.isComplete());
    EXPECT_TRUE(report.destinationFailure.has_value());
    EXPECT_EQ(treeOf(source), (QStringList{"Orvella=a file", "a.txt=A"}));
    EXPECT_EQ(log.take(), QStringList{QStringLiteral("Cannot create directory at %1/Orvella.").arg(source)});
    EXPECT_EQ(facade.settings().syncRoot(), std::optional<QString>(source));
}

}  // namespace
