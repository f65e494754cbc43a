#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// A name under which a backup may be stored: not blank, no leading or trailing space, at most 255
// characters as the user sees them, and only letters, marks, digits and white space (tabs and
// Unicode space separators; never a line break).
bool isValidBackupName(const QString& name);

// The name field's formatter: it refuses every text that is not a valid backup name.
class BackupNameFormatter {
public:
    // The text for an object: the object itself when it is a text, else none.
    std::optional<QString> stringForObjectValue(const QVariant& object) const;
    // Accepts a valid name unchanged into `object`; otherwise sets `errorDescription` and leaves
    // `object` untouched. Either pointer may be null.
    bool getObjectValue(QVariant* object, const QString& string, QString* errorDescription) const;

    static QString invalidNameDescription();
};
