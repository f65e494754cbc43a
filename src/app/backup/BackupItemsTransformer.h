#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// The chosen backup kinds as one text ("Photos, Contacts"), "-" when none is chosen. It reads the
// settings at each call and ignores its input; registered as "BackupItemsTransformer".
class BackupItemsTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }
};
