#pragma once

#include <QString>

class ObjCBackupObject;
struct DecimalNumber;

// What the backup windows show of one stored backup, through the backup value transformers where
// one exists, so the menu, the pane and the browser read alike.
namespace BackupBrowserTexts {

// The status with its date ("BackupDateStatusTransformer"); "-" when nothing gives a text.
QString statusText(const ObjCBackupObject& backup);
// All its categories' bytes together; "-" without sizes.
QString sizeText(const ObjCBackupObject& backup);
// A byte amount as the backup texts show it; an amount beyond 64 bits shows as the largest.
QString byteText(const DecimalNumber& bytes);
// The categories it holds, as the set-up sheet names them ("Photos, Contacts"); "-" for none.
QString categoriesText(const ObjCBackupObject& backup);
// The device it came from; "-" when the service does not say.
QString deviceText(const ObjCBackupObject& backup);

}  // namespace BackupBrowserTexts
