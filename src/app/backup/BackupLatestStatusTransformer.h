#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// "Latest backup: " and the outcome LatestBackupStatusTransformer gives. One way; registered as
// "BackupLatestStatusTransformer".
class BackupLatestStatusTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    const LocalizationController localizationController_;
};
