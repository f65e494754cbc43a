#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

#include "app/selectivesync/StoreController.h"
#include "frameworks/logger/Logger.h"

#include <algorithm>
#include <ostream>

[[maybe_unused]] static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
[[maybe_unused]] static void PrintTo(const ContextError& error, std::ostream* os) {
    *os << "ContextError(" << error.description.toStdString() << ')';
}

namespace storetest {

// A store on its own SQLite file under the test's temp folder.
struct StoreFile {
    QTemporaryDir dir{QStringLiteral("/dev/shm/orvella-store-XXXXXX")};
    QString path() const { return dir.filePath(QStringLiteral("Model.sqlite")); }
    std::shared_ptr<StoreController> open() const {
        return StoreController::make(std::make_shared<PersistentContainer>(
            QStringLiteral("Model"), PersistentStoreDescription::file(path())));
    }
};

// Builds a tree from "path:state" words, parents before children, e.g. "/:-1 /a:1 /a/x:0".
// Snapshots take the same state.
inline void build(StoreController& store, const QString& spec) {
    for (const QString& word : spec.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = word.lastIndexOf(u':');
        const auto node = store.createNode(word.left(colon), QStringLiteral("id") + word.left(colon));
        node->setSyncState(std::int16_t(word.mid(colon + 1).toInt()));
        node->setInitialSyncState(node->syncState());
    }
}

// "path:state" of every live node of the view context, sorted by path.
inline QString render(StoreController& store) {
    auto nodes = store.viewContext().fetch().valueOr({});
    const auto path = [](const auto& node) { return node->cachedRelativePath().value_or(QStringLiteral("nil")); };
    std::sort(nodes.begin(), nodes.end(), [&](const auto& a, const auto& b) { return path(a) < path(b); });
    QStringList words;
    for (const auto& node : nodes) words << path(node) + u':' + QString::number(node->syncState());
    return words.join(u' ');
}

// Collects the lines written on one channel while it lives.
class LogCapture {
public:
    explicit LogCapture(QString channel) : channel_(std::move(channel)) {
        id_ = Logger::addSink([this](const LogEntry& entry) {
            if (entry.channel != channel_) return;
            std::lock_guard lock(mutex_);
            lines_ << entry.message;
        });
    }
    ~LogCapture() { Logger::removeSink(id_); }
    QStringList lines() {
        Logger::flush();
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    QString channel_;
    Logger::SinkId id_;
    std::mutex mutex_;
    QStringList lines_;
};

}  // namespace storetest
