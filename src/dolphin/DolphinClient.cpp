#include "DolphinClient.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>

#include "protocol/core/BadgeEmblems.h"
#include "protocol/core/SavedSyncFolder.h"

Q_LOGGING_CATEGORY(orvellaDolphin, "orvella.dolphin", QtInfoMsg)

DolphinClient& DolphinClient::shared() {
    static DolphinClient* client = new DolphinClient;
    return *client;
}

DolphinClient::DolphinClient() {
    OrvellaPorts::ExtensionClient::Callbacks callbacks;
    callbacks.syncFolderChanged = [this](const std::string& folder) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(folder));
        // Kept for the share command while the application is not running.
        SavedSyncFolder::save(folder);
        QMetaObject::invokeMethod(this, [this, path] {
            qCDebug(orvellaDolphin) << "registered; sync folder" << path;
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

std::optional<QString> DolphinClient::syncFolder() const {
    if (const auto folder = client_->syncFolder()) return QFile::decodeName(QByteArray::fromStdString(*folder));
    const auto saved = SavedSyncFolder::load();
    if (!saved) return std::nullopt;
    return QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(*saved)));
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
