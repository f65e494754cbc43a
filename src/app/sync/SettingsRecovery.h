#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class UserController;

// Brings back what a damaged settings file of the app group held, for a user who is still signed in.
//
// When the group's settings file is garbage or empty, the defaults layer sets it aside and the
// suite reads as empty: the application would take itself for a fresh installation (the crash
// question, onboarding, sync off) although the session survives in its own store. What the file
// held that matters there can be found again once the signed-in user is known: the sync folder
// carries the account's marker (".ovmd.db/accountId"), and where it is is told by the sync root the
// onboarding keeps in the standard defaults under the account's id, by the folder the last set-up
// remembered there, and by the engine's own state ("localRoot" in SyncState.sqlite, read only).
// A folder under one of those places that carries this account's marker shows the sync root and
// that the application was set up: `syncRoot`, `isAlreadyLaunched` and
// `hasPromptedToSendCrashReports` come back, and `recovered` asks for sync to be set up. Without a
// signed-in user, during onboarding, or without such a folder nothing is invented.
//
// Every file the defaults layer sets aside goes to the application's log ("Setup"), whichever
// domain it belonged to. Made once by the application; main thread, except the defaults layer's
// report, which may come from any thread.
class SettingsRecovery : public QObject {
    Q_OBJECT

public:
    struct Services {
        // Where the sync engine keeps its state per account ("<data>/<bundle id>/SyncData"). Left
        // empty, the application's own.
        std::function<std::optional<QString>()> syncDataDirectory;
    };

    // Takes over the defaults layer's reports until destroyed, also those made before.
    explicit SettingsRecovery(UserController& userController, QObject* parent = nullptr);
    SettingsRecovery(UserController& userController, Services services, QObject* parent = nullptr);
    ~SettingsRecovery() override;

    // The settings suite was set aside in this process and its values are not back yet.
    bool isPending();
    // Recovers now if it can: a signed-in user, not onboarding, and the sync folder found. Answers
    // whether the values are back. Without a user it keeps waiting for one.
    bool recoverIfPossible();
    // A connect answered (the user, if any, is known now): recovers if it can, then runs what waited.
    void connectAnswered();
    // The launch's questions (crash reports, onboarding) would undo nothing but ask the user again
    // what recovery is about to bring back: while recovery is pending and the launch's connect is
    // under way, `work` waits for that connect's answer (at most `timeoutMs`), then runs on the
    // main queue; otherwise it runs at once.
    void afterRecoveryDecided(bool connectUnderWay, std::function<void()> work, int timeoutMs = 15000);

    // The sync folder under `syncRoot` carries the marker of `accountId`.
    static bool isSyncRootOf(const QString& syncRoot, const QString& accountId);
    // "localRoot" of the engine's state file, read only; none when there is none.
    static std::optional<QString> engineLocalRoot(const QString& stateFile);

signals:
    // The values are back; sync can be set up.
    void recovered();

private:
    struct Reports;
    // Takes the reports of the defaults layer: a set-aside of the settings suite makes recovery pending.
    void takeReports();
    void runWaitingWork();
    std::optional<QString> findSyncRoot(const QString& accountId) const;

    UserController& userController_;
    Services services_;
    std::shared_ptr<Reports> reports_;
    bool pending_ = false;
    std::vector<std::function<void()>> waitingWork_;
};
