#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// A stored backup's status with its date: the date of a success, "<date> (failed)" or
// "<date> (skipped)" when the date is known, the plain failed or skipped label when it is not, "-"
// without a status. One way; registered as "BackupDateStatusTransformer".
class BackupDateStatusTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    const LocalizationController localizationController_;
};
