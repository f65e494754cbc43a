#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class SyncController;

// Returns the installation to its factory state: sync stopped, the engine's data and the
// selective-sync store deleted, backup state cleared, privacy grants reset, the facade logged out
// with its reset flag and both defaults domains removed. Every step is best effort.
class AppResetter {
public:
    AppResetter(QString syncDataDirectory, SyncController* syncController);

    // The completion runs once, after the facade's log-out has completed, on whatever thread the
    // facade completes on.
    void reset(std::function<void()> completion);

    // The store files to delete; the selective-sync store's by default (tests give their own).
    void setStoreFiles(QStringList files) { storeFiles_ = std::move(files); }

    // The files of the selective-sync store's persistent stores; empty names for stores in memory.
    static QStringList storeFiles();

    // The tool that forgets what the user granted the application, and its arguments.
    static QString privacyResetTool();
    static QStringList privacyResetArguments(const QString& bundleIdentifier);

private:
    QString syncDataDirectory_;
    SyncController* syncController_;
    std::optional<QStringList> storeFiles_;
};
