#pragma once

#include <QMetaType>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// True for an encryption password, which only has to be present: any text that is not empty.
// One way; registered as "StringIsValidEncryptionPasswordTransformer".
class StringIsValidEncryptionPasswordTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<bool>(); }
};
