#pragma once

#include <QMetaType>

#include "platform/appkit/ValueTransformer.h"

// Whether a list of addresses, joined with commas, passes hasValidEmails; NO for anything but a
// list of texts. Registered as "StringHasValidEmailsTransformer".
class StringHasValidEmailsTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    static QMetaType transformedValueClass() { return QMetaType::fromType<bool>(); }
};
