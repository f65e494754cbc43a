#pragma once

#include <QMetaType>
#include <QStringList>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// The titles of the days popup: a list of day counts gives one text each, the unlimited value
// its own word. Anything else gives no value. Registered as "ShareInfoDaysValidLimitTransformer".
class ShareInfoDaysValidLimitTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    static QMetaType transformedValueClass() { return QMetaType::fromType<QStringList>(); }

private:
    LocalizationController localization_;
};
