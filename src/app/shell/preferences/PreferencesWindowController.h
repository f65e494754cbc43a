#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class BackupController;
class FeaturesController;
class PreferencesTabViewController;
class SparkleUpdaterController;
class SyncController;
class UserController;

// The preferences window: one window around the tab view controller, made once and kept for the
// life of the application. Main thread only.
class PreferencesWindowController : public QObject {
    Q_OBJECT

public:
    static inline const QString storyboardIdentifier = QStringLiteral("PreferencesWindowController");

    explicit PreferencesWindowController(QObject* parent = nullptr);
    ~PreferencesWindowController() override;

    PreferencesTabViewController* contentViewController() const { return contentViewController_; }
    QWidget* window() const { return window_; }
    bool isWindowVisible() const;

    // Shows the window and brings it forward. The content hears viewWillAppear when the window
    // was not on screen.
    void showWindow();
    void close();

    // What the application's actions do: hand over the controllers, show the window, then select
    // the general tab when the window was not visible, or the backup tab (whichever of the two
    // backup tabs the account has) when asked for it.
    void present(BackupController* backupController, UserController* userController,
                 FeaturesController* featuresController, SyncController* syncController,
                 SparkleUpdaterController* sparkleController, bool showBackupTab = false);

private:
    PreferencesTabViewController* contentViewController_;
    QPointer<QWidget> window_;
};

// Registers the preferences window ("PreferencesWindowController") and its panes with the main
// storyboard. Call once at start-up.
void registerPreferencesScenes();
