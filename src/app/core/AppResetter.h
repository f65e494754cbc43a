#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Returns the installation to its factory state: sync stopped, the engine's data and the
// selective-sync store deleted, backup state cleared, privacy grants reset, the facade logged out
// with its reset flag and both defaults domains removed. Every step is best effort.
class AppResetter {
public:
    // `pauseSync` stops the sync engine first; none when sync never ran.
    AppResetter(QString syncDataDirectory, std::function<void()> pauseSync);

    // The completion runs once, after the facade's log-out has completed, on whatever thread the
    // facade completes on.
    void reset(std::function<void()> completion);

    // The selective-sync store's files to delete; empty names stand for stores kept in memory.
    void setStoreFiles(QStringList files) { storeFiles_ = std::move(files); }

    // The tool that forgets what the user granted the application, and its arguments.
    static QString privacyResetTool();
    static QStringList privacyResetArguments(const QString& bundleIdentifier);

private:
    QString syncDataDirectory_;
    std::function<void()> pauseSync_;
    QStringList storeFiles_;
};
