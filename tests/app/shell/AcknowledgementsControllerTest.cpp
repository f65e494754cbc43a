#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <mutex>

#include "app/shell/AcknowledgementsController.h"
#include "app/shell/ZipTestSupport.h"
#include "frameworks/logger/Logger.h"

namespace {

// The lines written on "Setup" while it lives.
class SetupLog {
public:
    SetupLog() {
        id_ = Logger::addSink([this](const LogEntry& entry) {
            if (entry.channel != QLatin1String("Setup")) return;
            std::lock_guard lock(mutex_);
            lines_ << entry.message;
        });
    }
    ~SetupLog() { Logger::removeSink(id_); }
    QStringList lines() {
        Logger::flush();
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    Logger::SinkId id_;
    std::mutex mutex_;
    QStringList lines_;
};

QString readAll(const QUrl& url) {
    QFile file(url.toLocalFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QByteArray listOf(const QString& title, const QString& text, const QString& url = {}) {
    const QJsonObject component{{"title", title}, {"license", "MIT"}, {"text", text}, {"licenseURL", url}};
    return QJsonDocument(QJsonObject{{"title", "Thanks"}, {"components", QJsonArray{component}}}).toJson();
}

TEST(Acknowledgements, ShippedListNamesWhatTheProgramIsBuiltWith) {
    const auto resource = AcknowledgementsController::bundledResource();
    ASSERT_TRUE(resource.has_value());
    const QJsonArray components = QJsonDocument::fromJson(*resource).object().value("components").toArray();
    QStringList found;
    for (const QJsonValue& c : components)
        found << c.toObject().value("title").toString() + QStringLiteral(": ") + c.toObject().value("license").toString();
    EXPECT_EQ(found, (QStringList{"Qt 6: GNU Lesser General Public License v3.0 (LGPL-3.0-only)",
                                  "SQLite: Public domain",
                                  "libzip: BSD 3-Clause License (BSD-3-Clause)",
                                  "GoogleTest: BSD 3-Clause License (BSD-3-Clause)"}));

    const auto url = AcknowledgementsController().acknowledgementsFileURL();
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->fileName(), QStringLiteral("acknowledgments.html"));
    EXPECT_TRUE(url->toLocalFile().startsWith(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)));
    const QString page = readAll(*url);
    for (const char* expected : {"<h2>Qt 6</h2>", "<h2>SQLite</h2>", "<h2>libzip</h2>", "<h2>GoogleTest</h2>",
                                 "<a href=\"https://www.gnu.org/licenses/lgpl-3.0.html\">"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(expected))) << expected;
}

TEST(Acknowledgements, EveryRequestRewritesTheSamePage) {
    const auto first = AcknowledgementsController([] { return listOf("First", "one"); }).acknowledgementsFileURL();
    const auto second = AcknowledgementsController([] { return listOf("Second", "two"); }).acknowledgementsFileURL();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, *second);
    const QString page = readAll(*second);
    EXPECT_TRUE(page.contains("<h2>Second</h2>"));
    EXPECT_FALSE(page.contains("First"));
}

TEST(Acknowledgements, ListTextIsShownNeverRun) {
    const auto html = AcknowledgementsController::htmlFrom(
        listOf("<script>alert(1)</script>", "a & b < c", "javascript:alert(1)"));
    ASSERT_TRUE(html.has_value());
    EXPECT_FALSE(html->contains("<script>"));
    EXPECT_FALSE(html->contains("javascript:"));
    EXPECT_TRUE(html->contains("&lt;script&gt;"));
    EXPECT_TRUE(html->contains("a &amp; b &lt; c"));
    EXPECT_FALSE(AcknowledgementsController::htmlFrom("not json").has_value());
}

struct FailureCase {
    const char* name;
    bool hasResource;
    const char* blockCaches;  // "": caches fine; "folder": the caches folder is a file; "page": the page is a folder
    const char* expectedLog;  // the start of the one line logged, or "" for none
};

class AcknowledgementsFailure : public ::testing::TestWithParam<FailureCase> {
protected:
    void SetUp() override { savedCache_ = qgetenv("XDG_CACHE_HOME"); }
    void TearDown() override { qputenv("XDG_CACHE_HOME", savedCache_); }
    QByteArray savedCache_;
};

TEST_P(AcknowledgementsFailure, GivesNoPageAndLogsOnlyFileFailures) {
    const FailureCase& c = GetParam();
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/acks-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString cacheHome = dir.filePath(QStringLiteral("cache"));
    if (QByteArray(c.blockCaches) == "folder") {
        ASSERT_TRUE(ziptest::writeFile(cacheHome, "a file where the caches should be"));
    }
    qputenv("XDG_CACHE_HOME", cacheHome.toUtf8());
    if (QByteArray(c.blockCaches) == "page") {
        const QString caches = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        ASSERT_TRUE(QDir().mkpath(caches + QStringLiteral("/acknowledgments.html")));
    }

    SetupLog log;
    const AcknowledgementsController controller(
        [&]() -> std::optional<QByteArray> { return c.hasResource ? std::optional(listOf("A", "b")) : std::nullopt; });
    EXPECT_FALSE(controller.acknowledgementsFileURL().has_value());
    const QStringList lines = log.lines();
    if (QByteArray(c.expectedLog).isEmpty()) {
        EXPECT_EQ(lines, QStringList());
    } else {
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines.front().startsWith(QString::fromUtf8(c.expectedLog))) << lines.front().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shell, AcknowledgementsFailure,
    ::testing::Values(
        FailureCase{"noResource", false, "", ""},
        FailureCase{"noCachesFolder", true, "folder", "Failed to get the acknowledgments.html file url. Error: "},
        FailureCase{"pageCannotBeWritten", true, "page", "Failed to create the acknowledgments.html file. Error: "}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
