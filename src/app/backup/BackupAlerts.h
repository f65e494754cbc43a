#pragma once

#include <functional>

class AppError;
class BackupController;
class QWidget;

// Tells the user the service cannot be reached: a sheet on the window when one is given, else a
// modal alert; always shown from the main queue.
void showNoConnectionAlert(QWidget* window = nullptr);

enum class RestoreStillRunningReason { signOut, quit };
// Asks whether to sign out while a restore runs (a sheet on the window, else modal); `signOut`
// runs on the first button. Only the sign-out reason is asked here; quitting asks on its own.
void showRestoreStillRunningAlert(RestoreStillRunningReason reason, QWidget* window, std::function<void()> signOut);
// The backup does not fit the account; the second button opens the upgrade page.
void showBackupQuotaViolationAlert();
// Asks whether to skip the running backup (Return skips, Escape keeps it); a sheet on the window,
// else modal. Skipping cancels through the controller, when it is still there.
void showSkipBackupAlert(BackupController* controller, QWidget* window = nullptr);
void showNotEnoughSpaceToBackupAlert();
void showNotEnoughSpaceToRestoreAlert();
// The application's answer to a failed backup started by the user or resumed at launch: the
// space or quota alert for a backup error (from the main queue), the error presentation for a
// handled access-denied error, nothing for the rest.
void presentBackupError(const AppError& error);
