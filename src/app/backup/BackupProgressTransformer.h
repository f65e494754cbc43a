#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// "Restored 3 MB of 10 MB" for the ObjCBackupProgress of a restore; the plain restoring label for
// anything else, no value included. One way; registered as "BackupProgressTransformer".
class BackupProgressTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    const LocalizationController localizationController_;
};
