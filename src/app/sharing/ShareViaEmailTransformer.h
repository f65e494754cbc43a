#pragma once

#include <QMetaType>
#include <QString>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// The e-mail sheet's heading for an item name; anything but a text comes back as it was.
// Registered as "ShareViaEmailTransformer".
class ShareViaEmailTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    LocalizationController localization_;
};
