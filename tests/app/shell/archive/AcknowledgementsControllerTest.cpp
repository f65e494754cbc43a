#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <mutex>

#include "app/shell/archive/AcknowledgementsController.h"
#include "app/shell/archive/ZipTestSupport.h"
#include "frameworks/logger/Logger.h"

namespace {

QByteArray listOf(const QString& title, const QString& url = "https://example.com/licence") {
    const QJsonObject component{{"title", title}, {"license", "MIT"}, {"text", "a & b"}, {"licenseURL", url}};
    return QJsonDocument(QJsonObject{{"components", QJsonArray{component}}}).toJson();
}

QString pageAt(const std::optional<QUrl>& url) {
    QFile file(url ? url->toLocalFile() : QString());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(Acknowledgements, ShippedListMakesThePageAndEachRequestRewritesIt) {
    QStringList titles;
    for (const QJsonValue& c : QJsonDocument::fromJson(AcknowledgementsController::bundledResource().value_or(""))["components"].toArray())
        titles << c["title"].toString() + ": " + c["license"].toString();
    EXPECT_EQ(titles, (QStringList{"Qt 6: GNU Lesser General Public License v3.0 (LGPL-3.0-only)", "SQLite: Public domain",
                                   "libzip: BSD 3-Clause License (BSD-3-Clause)",
                                   "libsecret: GNU Lesser General Public License v2.1 or later (LGPL-2.1-or-later)",
                                   "GoogleTest: BSD 3-Clause License (BSD-3-Clause)"}));
    const auto shipped = AcknowledgementsController().acknowledgementsFileURL();
    ASSERT_TRUE(shipped);
    EXPECT_EQ(shipped->toLocalFile(), QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/acknowledgments.html");
    EXPECT_TRUE(pageAt(shipped).contains("<h2>libzip</h2>"));

    // The list's text is shown, never run; only web addresses become links.
    const auto next = AcknowledgementsController([] { return listOf("<script>", "javascript:alert(1)"); }).acknowledgementsFileURL();
    EXPECT_EQ(next, shipped);
    const QString page = pageAt(next);
    EXPECT_TRUE(page.contains("<h2>&lt;script&gt;</h2>") && page.contains("a &amp; b")) << page.toStdString();
    EXPECT_FALSE(page.contains("libzip") || page.contains("javascript:"));
}

TEST(Acknowledgements, NoPageWithoutListOrCachesAndOnlyFileFailuresLogged) {
    const struct {
        bool hasResource;
        const char* blocked;      // "caches": the caches folder is a file; "page": the page is a folder
        const char* expectedLog;  // the start of the one "Setup" line, or "" for none
    } cases[] = {{false, "", ""},
                 {true, "caches", "Failed to get the acknowledgments.html file url. Error: "},
                 {true, "page", "Failed to create the acknowledgments.html file. Error: "}};
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    std::mutex mutex;
    QStringList lines;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        if (entry.channel == QLatin1String("Setup")) lines << entry.message;
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocked);
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/acks-XXXXXX"));
        if (QByteArray(c.blocked) == "caches") ziptest::writeFile(dir.filePath("cache"), "a file");
        qputenv("XDG_CACHE_HOME", dir.filePath("cache").toUtf8());
        const QString page = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/acknowledgments.html";
        if (QByteArray(c.blocked) == "page") QDir().mkpath(page);
        const AcknowledgementsController controller(
            [&]() -> std::optional<QByteArray> { return c.hasResource ? std::optional(listOf("A")) : std::nullopt; });
        EXPECT_FALSE(controller.acknowledgementsFileURL());
        Logger::flush();
        std::lock_guard lock(mutex);
        EXPECT_EQ(lines.size(), *c.expectedLog ? 1 : 0);
        EXPECT_TRUE(lines.isEmpty() || lines.front().startsWith(c.expectedLog)) << lines.join(' ').toStdString();
        lines.clear();
    }
    Logger::removeSink(sink);
    qputenv("XDG_CACHE_HOME", savedCache);
}

}  // namespace
