#include "app/shell/backup/BackupBrowserTexts.h"

#include <QStringList>
#include <QVariant>

#include <limits>

#include "app/backup/BackupModels.h"
#include "app/backup/BackupTransformerText.h"
#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

namespace BackupBrowserTexts {

QString statusText(const ObjCBackupObject& backup) {
    const auto transformer = ValueTransformer::forName(QStringLiteral("BackupDateStatusTransformer"));
    const QString text = transformer ? transformer->transformedValue(QVariant::fromValue(backup.status())).toString() : QString();
    return text.isEmpty() ? BackupTransformerText::emptyMark() : text;
}

QString sizeText(const ObjCBackupObject& backup) {
    const auto sizes = backup.sizes();
    if (!sizes) return BackupTransformerText::emptyMark();
    return byteText(sizes->overall());
}

QString byteText(const DecimalNumber& bytes) {
    constexpr auto most = std::numeric_limits<qint64>::max();
    return BackupTransformerText::byteText(bytes.value > static_cast<unsigned __int128>(most) ? most : qint64(bytes.value));
}

QString categoriesText(const ObjCBackupObject& backup) {
    const LocalizationController texts;
    QStringList names;
    if (backup.containsImages()) names << texts.brCheckBoxPhotos();
    if (backup.containsVideo()) names << texts.brCheckBoxVideos();
    if (backup.containsContacts()) names << texts.brCheckBoxContacts();
    if (backup.containsCalendars()) names << texts.brCheckBoxCalendars();
    return names.isEmpty() ? BackupTransformerText::emptyMark() : names.join(QStringLiteral(", "));
}

QString deviceText(const ObjCBackupObject& backup) {
    const QString name = backup.representedObject().deviceName;
    return name.isEmpty() ? BackupTransformerText::emptyMark() : name;
}

}  // namespace BackupBrowserTexts
