#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "frameworks/sync/OrvellaSyncEngine.h"
#include "frameworks/sync/SyncFileSystem.h"
#include "service/StorageService.h"
#include "support/TestEnvironment.h"

// Records what the engine tells; answers ignore questions by a rule the test sets.
class RecordingDelegate : public SyncStatusDelegate {
public:
    void itemStatusChanged(const QString& path, OVItemSyncStatus status) override {
        std::lock_guard lock(mutex_);
        items_.emplace_back(path, status);
    }
    void syncStatusChanged(const SyncStatus& status) override {
        std::lock_guard lock(mutex_);
        statuses_.push_back(status);
    }
    bool shouldIgnoreItem(const QString& path) override {
        const QString name = path.section(QLatin1Char('/'), -1);
        {
            std::lock_guard lock(mutex_);
            if (alsoIgnored_.contains(name)) return true;
        }
        return name.endsWith(QStringLiteral(".tmp")) || name.startsWith(QStringLiteral("~$"));
    }
    // Ignores this name too, as the application's rules ignore what cannot be read.
    void alsoIgnore(const QString& name) {
        std::lock_guard lock(mutex_);
        alsoIgnored_ << name;
    }
    bool isRegularItem(const QString&, const QString&) override { return true; }
    bool isSystemFolder(const QString&, const QString&) override { return false; }
    void handle(const SyncEvent& event) override {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }

    std::vector<SyncStatus> statuses() const {
        std::lock_guard lock(mutex_);
        return statuses_;
    }
    std::optional<SyncStatus> lastStatus() const {
        std::lock_guard lock(mutex_);
        if (statuses_.empty()) return std::nullopt;
        return statuses_.back();
    }
    std::optional<OVItemSyncStatus> lastItemStatus(const QString& path) const {
        std::lock_guard lock(mutex_);
        for (auto it = items_.rbegin(); it != items_.rend(); ++it)
            if (it->first == path) return it->second;
        return std::nullopt;
    }
    int itemStatusCount(const QString& path, OVItemSyncStatus status) const {
        std::lock_guard lock(mutex_);
        int count = 0;
        for (const auto& [p, s] : items_) count += p == path && s == status;
        return count;
    }
    std::vector<SyncEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    QStringList alsoIgnored_;
    mutable std::mutex mutex_;
    std::vector<std::pair<QString, OVItemSyncStatus>> items_;
    std::vector<SyncStatus> statuses_;
    std::vector<SyncEvent> events_;
};

// While it lives, the engine's file-system layer fails on `path` (absolute) with `error`: a folder
// cannot be opened; with `itemItself` the item cannot even be looked at. A folder without
// permission also hides what is below it, as the kernel does.
class InjectedFault {
public:
    InjectedFault(const QString& path, int error, bool itemItself = false)
        : InjectedFault([=](SyncFileSystem::Operation operation, const QString& absolute) {
              using Op = SyncFileSystem::Operation;
              if (absolute == path && (operation == Op::openFolder || (operation == Op::stat && itemItself))) return error;
              if (operation == Op::stat && error == EACCES && absolute.startsWith(path + QLatin1Char('/'))) return error;
              return 0;
          }) {}
    // Any other rule.
    explicit InjectedFault(SyncFileSystem::FaultHook hook) { SyncFileSystem::setFaultHook(std::move(hook)); }
    ~InjectedFault() { SyncFileSystem::setFaultHook({}); }
    InjectedFault(const InjectedFault&) = delete;
    InjectedFault& operator=(const InjectedFault&) = delete;
};

// A sync folder, a service with the user "alice" and a data folder in a fresh temp tree.
class EngineFixture : public ::testing::Test {
public:
    static constexpr int pollMs = 30;
    // Short, so that tests go through many questions for remote changes that end with none.
    static constexpr int longPollMs = 200;
    // At once: every idle moment of every test lets go of the trees and the next pass takes them
    // back, so that doing so is checked by all of them.
    int compactAfterIdleMs = 0;

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        localRoot = dir_.filePath(QStringLiteral("Orvella"));
        dataFolder = dir_.filePath(QStringLiteral("SyncData"));
        service = std::make_shared<StorageService>(dir_.filePath(QStringLiteral("service")));
        ASSERT_TRUE(service->ensureCreated());
        remoteRoot = service->usersFolder() + QStringLiteral("/alice");
        ASSERT_TRUE(QDir().mkpath(localRoot));
        ASSERT_TRUE(QDir().mkpath(remoteRoot));
    }

    void TearDown() override {
        engine.reset();
        // The service writes its journal when it goes: while the temp tree is still there to hold it.
        service.reset();
        // Read-only folders left by a test would stop the temp tree's removal.
        QDirIterator it(dir_.path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    SyncFacadeConfiguration configuration(std::int64_t minimumFreeDiskSpace = 0) {
        SyncFacadeConfiguration c;
        c.rootDirectoryLocalURL = localRoot;
        c.syncStatusDelegate = &delegate;
        c.conflictSuffix = QStringLiteral("conflicted copy");
        c.minimumFreeDiskSpace = minimumFreeDiskSpace;
        return c;
    }

    void start(std::int64_t minimumFreeDiskSpace = 0) {
        engine = std::make_unique<OrvellaSyncEngine>(configuration(minimumFreeDiskSpace), service, remoteRoot, dataFolder,
                                                     OrvellaSyncEngine::Options{pollMs, longPollMs, compactAfterIdleMs});
    }

    // Waits until the engine has looked at both sides since now and found nothing left to do.
    bool settle(int timeoutMs = 15000) {
        const auto check = engine->requestCheck();
        return TestEnvironment::waitUntil([&] { return engine->checkedCount() >= check; }, timeoutMs);
    }
    // Settled, and then idle with `kind`: right after local changes the engine still waits a moment
    // for more of their burst before it says so.
    bool waitIdle(SyncStatus::Kind kind, int timeoutMs = 15000) {
        return settle(timeoutMs) && TestEnvironment::waitUntil([&] {
                   const auto status = delegate.lastStatus();
                   return status && status->kind == kind;
               }, timeoutMs);
    }
    bool waitUpToDate(int timeoutMs = 15000) { return waitIdle(SyncStatus::Kind::upToDate, timeoutMs); }

    QString local(const QString& path) const { return localRoot + QLatin1Char('/') + path; }
    QString remote(const QString& path) const { return remoteRoot + QLatin1Char('/') + path; }

    static void write(const QString& path, const QByteArray& content) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(content);
    }
    static std::optional<QByteArray> read(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return file.readAll();
    }
    static void removeTree(const QString& path) {
        if (QFileInfo(path).isDir()) QDir(path).removeRecursively();
        else QFile::remove(path);
    }

    // Every item below a root: files with their content, folders as "/".
    static std::map<QString, QByteArray> tree(const QString& root) {
        std::map<QString, QByteArray> items;
        QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString relative = path.mid(root.size() + 1);
            items[relative] = it.fileInfo().isDir() ? QByteArray("/") : read(path).value_or(QByteArray("?"));
        }
        return items;
    }

    QString localRoot;
    QString remoteRoot;
    QString dataFolder;
    std::shared_ptr<StorageService> service;
    RecordingDelegate delegate;
    std::unique_ptr<OrvellaSyncEngine> engine;

private:
    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/sync-engine-XXXXXX")};
};
