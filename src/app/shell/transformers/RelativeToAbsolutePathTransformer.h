#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// `syncRoot` + the path + "/", joined as they stand (the path brings its own leading slash).
// Reads the setting afresh at each call; without it, or for anything but text, the value comes
// back unchanged.
// One way; registered as "RelativeToAbsolutePathTransformer".
class RelativeToAbsolutePathTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }
};
