#include "app/backup/BackupItemsTransformer.h"

#include <QStringList>

#include "app/backup/BackupTransformerText.h"
#include "app/common/LocalizationController.h"
#include "app/core/SettingsController.h"

QVariant BackupItemsTransformer::transformedValue(const QVariant&) const {
    const SettingsManagerProtocol* settings = SettingsController().settings();
    const LocalizationController texts;
    QStringList kinds;
    if (settings->backupImages()) kinds << texts.brCheckBoxPhotos();
    if (settings->backupVideos()) kinds << texts.brCheckBoxVideos();
    if (settings->backupContacts()) kinds << texts.brCheckBoxContacts();
    if (settings->backupCalendars()) kinds << texts.brCheckBoxCalendars();
    return kinds.isEmpty() ? BackupTransformerText::emptyMark() : kinds.join(QStringLiteral(", "));
}
