#include "DolphinClient.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QSaveFile>
#include <QStandardPaths>

#include "protocol/core/BadgeEmblems.h"

Q_LOGGING_CATEGORY(orvellaDolphin, "orvella.dolphin", QtInfoMsg)

DolphinClient& DolphinClient::shared() {
    static DolphinClient* client = new DolphinClient;
    return *client;
}

DolphinClient::DolphinClient() {
    OrvellaPorts::ExtensionClient::Callbacks callbacks;
    callbacks.syncFolderChanged = [this](const std::string& folder) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(folder));
        QMetaObject::invokeMethod(this, [this, path] {
            qCDebug(orvellaDolphin) << "registered; sync folder" << path;
            // Kept for the share command while the application is not running.
            QSaveFile file(lastSyncFolderFile());
            QDir().mkpath(QFileInfo(file.fileName()).path());
            if (file.open(QIODevice::WriteOnly)) {
                file.write(QFile::encodeName(path));
                file.commit();
            }
            emit everythingChanged();
        }, Qt::QueuedConnection);
    };
    callbacks.badgeChanged = [this](const std::string& path, const std::string& badge) {
        const QString item = QFile::decodeName(QByteArray::fromStdString(path));
        const QString word = QString::fromStdString(badge);
        QMetaObject::invokeMethod(this, [this, item, word] {
            qCDebug(orvellaDolphin) << "badge" << word << "for" << item;
            emit badgeChanged(item, word);
        }, Qt::QueuedConnection);
    };
    callbacks.applicationWentAway = [this] {
        QMetaObject::invokeMethod(this, [this] {
            qCDebug(orvellaDolphin) << "the application went away";
            emit everythingChanged();
        }, Qt::QueuedConnection);
    };
    OrvellaPorts::ExtensionClient::Options options;
    options.appGroupIdentifier = ORVELLA_APP_GROUP;
    client_ = std::make_unique<OrvellaPorts::ExtensionClient>(std::move(options), std::move(callbacks));
}

QString DolphinClient::lastSyncFolderFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/orvella/dolphin-sync-folder");
}

std::optional<QString> DolphinClient::syncFolder() const {
    if (const auto folder = client_->syncFolder()) return QFile::decodeName(QByteArray::fromStdString(*folder));
    QFile file(lastSyncFolderFile());
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QString folder = QFile::decodeName(file.readAll());
    if (!QDir::isAbsolutePath(folder)) return std::nullopt;
    return QDir::cleanPath(folder);
}

bool DolphinClient::isInsideSyncFolder(const QString& path) const {
    if (client_->syncFolder()) return client_->isInsideSyncFolder(localBytes(path));
    const auto folder = syncFolder();
    if (!folder) return false;
    const QString clean = QDir::cleanPath(path);
    return clean == *folder || clean.startsWith(*folder + QLatin1Char('/'));
}

QStringList DolphinClient::overlaysFor(const std::string& badge) {
    const auto emblem = OrvellaPorts::emblemForBadge(badge);
    if (!emblem) return {};
    return {QString::fromStdString(*emblem)};
}

std::string DolphinClient::localBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
