#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// "Last Remote Activity: " and the date in the shared medium format, or "-" without a date.
// One way; registered as "RemoteActivityDateTransformer".
class RemoteActivityDateTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }
};
