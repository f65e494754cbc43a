// "Share Link with Orvella" in Dolphin's context menu, for one item of the sync folder.

#include <KAbstractFileItemActionPlugin>
#include <KFileItemListProperties>
#include <KPluginFactory>

#include <QAction>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <QStandardPaths>

#include "DolphinClient.h"
#include "protocol/core/FileManagerTexts.h"

namespace {

// The application that takes the item; it starts when it is not running and hands the request to
// the running one when it is.
QString program() {
    const QString chosen = qEnvironmentVariable("ORVELLA_PROGRAM");
    if (!chosen.isEmpty()) return chosen;
    if (QFileInfo(QStringLiteral(ORVELLA_INSTALLED_PROGRAM)).isExecutable()) return QStringLiteral(ORVELLA_INSTALLED_PROGRAM);
    return QStandardPaths::findExecutable(QStringLiteral("Orvella"));
}

}  // namespace

class OrvellaShareAction : public KAbstractFileItemActionPlugin {
    Q_OBJECT

public:
    OrvellaShareAction(QObject* parent, const QVariantList&) : KAbstractFileItemActionPlugin(parent) {
        DolphinClient::shared();  // registers now, so that the sync folder is known by the next menu
    }

    QList<QAction*> actions(const KFileItemListProperties& items, QWidget* parentWidget) override {
        const QList<QUrl> urls = items.urlList();
        if (urls.size() != 1 || !urls.first().isLocalFile()) return {};
        const QString path = urls.first().toLocalFile();
        if (!DolphinClient::shared().isInsideSyncFolder(path)) return {};
        const QString executable = program();
        if (executable.isEmpty()) return {};
        auto* action = new QAction(QIcon::fromTheme(QStringLiteral("example.orvella.desktop")),
                                   QString::fromUtf8(OrvellaPorts::shareMenuTitle), parentWidget);
        connect(action, &QAction::triggered, action, [executable, path] {
            QProcess::startDetached(executable, {QStringLiteral("--share"), path});
        });
        return {action};
    }
};

K_PLUGIN_CLASS_WITH_JSON(OrvellaShareAction, "orvella_share.json")

#include "orvella_share.moc"
