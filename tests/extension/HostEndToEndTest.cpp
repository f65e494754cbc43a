#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include "extension/ExtensionPorts.h"
#include "extension/PortServer.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

namespace {

// The file-manager host in its own process loads the real extension, which registers with this
// process (playing the application) and asks it for every item's badge.
TEST(HostEndToEnd, TheHostListsTheSyncFolderWithTheApplicationsBadgeWords) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString root = home.path() + QStringLiteral("/Orvella");
    QDir().mkpath(root + QStringLiteral("/Photos"));
    for (const char* name : {"notes.txt", "big.iso", "skip.tmp"}) {
        QFile file(root + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    OrvellaSettingsManager settings(ExtensionPorts::appGroupIdentifier());
    settings.setSyncRoot(home.path());

    const QHash<QString, QByteArray> words{{"Photos", "synced"}, {"notes.txt", "syncing"},
                                           {"big.iso", "error"}, {"skip.tmp", "ignored"}};
    PortServer badges(ExtensionPorts::badgeServerPortName(), [&](std::int32_t, const QByteArray& data) {
        const QString path = QUrl::fromEncoded(data).toLocalFile();
        return std::optional<QByteArray>(words.value(QDir(root).relativeFilePath(path), "synced"));
    });
    PortServer registration(ExtensionPorts::registrationPortName(), [&](std::int32_t, const QByteArray&) {
        return std::optional<QByteArray>(root.toUtf8());
    });

    QProcess host;
    host.start(QStringLiteral(FINDERSYNC_HOST),
               {"--plugin", QStringLiteral(EXTENSION_PLUGIN), "--list", root, "--wait", "5000"});
    ASSERT_TRUE(host.waitForFinished(15000));
    settings.setSyncRoot(std::nullopt);
    EXPECT_EQ(host.exitCode(), 0) << host.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(host.readAllStandardOutput()).toStdString(),
              "Photos\tsynced\nbig.iso\terror\nnotes.txt\tsyncing\nskip.tmp\tignored\n");
    // The extension's own port, named anew by every run, leaves no lock behind.
    QStringList locks = QDir(*MessagePort::portsDirectory())
                            .entryList({ExtensionPorts::appGroupIdentifier() + QStringLiteral(".*")}, QDir::Files);
    locks.sort();
    EXPECT_EQ(locks.join(u' ').toStdString(), (ExtensionPorts::registrationPortName() + QStringLiteral(".lock ") +
                                               ExtensionPorts::badgeServerPortName() + QStringLiteral(".lock")).toStdString());
}

}  // namespace
