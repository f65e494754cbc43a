#pragma once

#include <QMetaType>
#include <QImage>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// The desktop's 16 x 16 icon of the file at a path; anything else, no value included, gives the
// caution image (no value only without a widget style to draw one). Icons come from the desktop
// theme on the main thread: a call from another thread waits for the main thread to draw it.
// One way; registered as "PathToImageTransformer".
class PathToImageTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QImage>(); }
};
