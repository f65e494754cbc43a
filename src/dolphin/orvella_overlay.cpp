// Dolphin's overlay icons for the items of the sync folder.

#include <KOverlayIconPlugin>

#include <QSet>
#include <QTimer>
#include <QUrl>

#include <string>
#include <vector>

#include "DolphinClient.h"

class OrvellaOverlayPlugin : public KOverlayIconPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.kde.overlayicon.orvella" FILE "orvella_overlay.json")

public:
    explicit OrvellaOverlayPlugin(QObject* parent = nullptr) : KOverlayIconPlugin(parent) {
        DolphinClient& shared = DolphinClient::shared();
        connect(&shared, &DolphinClient::badgeChanged, this, [this](const QString& path, const QString& badge) {
            const QUrl url = QUrl::fromLocalFile(path);
            if (shown_.contains(url)) emit overlaysChanged(url, DolphinClient::overlaysFor(badge.toStdString()));
        });
        // Everything shown is asked again: an empty list now, the answers as they come.
        connect(&shared, &DolphinClient::everythingChanged, this, [this] {
            const QSet<QUrl> shown = std::exchange(shown_, {});
            for (const QUrl& url : shown) emit overlaysChanged(url, getOverlays(url));
        });
    }

    // Called on Dolphin's main thread for every item it draws: never waits, answers from what is
    // known and asks for the rest, together, once the current batch of items is drawn.
    QStringList getOverlays(const QUrl& item) override {
        if (!item.isLocalFile()) return {};
        DolphinClient& shared = DolphinClient::shared();
        const QString path = item.toLocalFile();
        if (!shared.client().syncFolder() || !shared.isInsideSyncFolder(path)) return {};
        shown_.insert(item);
        const std::string bytes = DolphinClient::localBytes(path);
        if (const auto badge = shared.client().cachedBadge(bytes)) return DolphinClient::overlaysFor(*badge);
        if (pending_.empty())
            QTimer::singleShot(0, this, [this] { DolphinClient::shared().client().requestBadges(std::exchange(pending_, {})); });
        pending_.push_back(bytes);
        return {};
    }

private:
    QSet<QUrl> shown_;
    std::vector<std::string> pending_;
};

#include "orvella_overlay.moc"
