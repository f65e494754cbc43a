#pragma once

#include <QMetaType>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// True for text that is not empty; false for everything else, no value included.
// One way; registered as "StringIsNotEmptyTransformer".
class StringIsNotEmptyTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<bool>(); }
};
