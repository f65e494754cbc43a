#pragma once

#include <QMetaType>
#include <QColor>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// The colour of a line that may be an error: red for a true flag (a Boolean or a number other
// than zero), the label colour for a false one and for anything else.
// One way; registered as "ErrorColorTransformer".
class ErrorColorTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QColor>(); }
};
