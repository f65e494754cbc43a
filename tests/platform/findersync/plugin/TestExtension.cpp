// A small extension for the host tests. Item names choose the answer: "a..." and "b..." get those
// badges at once, "u..." an identifier with no registered badge, "late..." badge "a" 100 ms later,
// anything else none. Every call is appended to $FINDERSYNC_TEST_LOG.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThread>
#include <QTimer>

#include "platform/findersync/FinderSyncController.h"
#include "platform/findersync/FinderSyncExtension.h"

namespace {

void record(const QString& call, const QUrl& url) {
    const QString path = qEnvironmentVariable("FINDERSYNC_TEST_LOG");
    if (path.isEmpty()) return;
    QFile file(path);
    if (!file.open(QIODevice::Append)) return;
    const bool onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
    file.write((call + QLatin1Char(' ') + url.toLocalFile() + (onMain ? "" : " offmain") + "\n").toUtf8());
}

class TestExtension final : public FinderSyncExtension {
public:
    TestExtension() {
        auto& controller = FinderSyncController::defaultController();
        QImage dot(8, 8, QImage::Format_ARGB32);
        dot.fill(Qt::green);
        controller.setBadgeImage(dot, QStringLiteral("A"), QStringLiteral("a"));
        controller.setBadgeImage(dot, QStringLiteral("B"), QStringLiteral("b"));
        const QString watched = qEnvironmentVariable("FINDERSYNC_TEST_WATCH");
        const int delay = qEnvironmentVariableIntValue("FINDERSYNC_TEST_WATCH_DELAY");
        if (watched.isEmpty()) return;
        const auto watch = [watched] {
            FinderSyncController::defaultController().setDirectoryURLs({QUrl::fromLocalFile(watched)});
        };
        if (delay > 0) QTimer::singleShot(delay, QCoreApplication::instance(), watch);
        else watch();
    }

    void beginObservingDirectoryAtURL(const QUrl& url) override { record(QStringLiteral("begin"), url); }
    void endObservingDirectoryAtURL(const QUrl& url) override { record(QStringLiteral("end"), url); }
    void requestBadgeIdentifierForURL(const QUrl& url) override {
        record(QStringLiteral("request"), url);
        const QString name = QFileInfo(url.toLocalFile()).fileName();
        auto& controller = FinderSyncController::defaultController();
        if (name.startsWith(QLatin1String("late"))) {
            QTimer::singleShot(100, QCoreApplication::instance(), [url] {
                FinderSyncController::defaultController().setBadgeIdentifier(QStringLiteral("a"), url);
            });
        } else if (name.startsWith(QLatin1Char('a')) || name.startsWith(QLatin1Char('b'))) {
            controller.setBadgeIdentifier(name.left(1), url);
        } else if (name.startsWith(QLatin1Char('u'))) {
            controller.setBadgeIdentifier(QStringLiteral("unregistered"), url);
        }
    }
};

}  // namespace

ORVELLA_FINDERSYNC_EXPORT FinderSyncExtension* OrvellaCreateFinderSyncExtension(FinderSyncController* controller) {
    FinderSyncController::setDefaultController(controller);
    return new TestExtension;
}
