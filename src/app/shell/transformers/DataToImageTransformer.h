#pragma once

#include <QMetaType>
#include <QImage>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// The image encoded in the bytes; no value when they hold no image or are no bytes.
// One way; registered as "DataToImageTransformer".
class DataToImageTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QImage>(); }
};
