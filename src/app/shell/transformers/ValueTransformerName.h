#pragma once

#include <QString>
#include <QStringList>

// The names under which the value transformers are registered, each the name of its class. Each
// is made once, on first use, and never changes.
namespace ValueTransformerName {

const QString& productVersion();
const QString& backupItems();
const QString& nextBackupDate();
const QString& latestBackupStatus();
const QString& quotaOverview();
const QString& userButton();
const QString& userName();
const QString& selectiveSyncButton();
const QString& pathToImage();
const QString& pathToLastPathComponent();
const QString& shareDownload();
const QString& shareViaEmail();
const QString& shareInfoMaxDownloadsLimit();
const QString& shareInfoMaxDownloadsSelection();
const QString& shareInfoPassword();
const QString& shareInfoTtl();
const QString& shareInfoDaysValidLimit();
const QString& stringHasValidEmails();
const QString& stringIsNotEmpty();
const QString& stringIsValidPassword();
const QString& stringIsValidEncryptionPassword();
const QString& dataToImage();
const QString& createBackupProgress();
const QString& backupProgress();
const QString& backupDateStatus();
const QString& backupLatestStatus();
const QString& backupNext();
const QString& relativeToAbsolutePath();
const QString& downloadQueueCount();
const QString& uploadQueueCount();
const QString& errorColor();
const QString& remoteActivityDate();

// All names in the order in which they are registered.
const QStringList& all();

}  // namespace ValueTransformerName
