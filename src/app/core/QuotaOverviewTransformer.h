#pragma once

#include <QVariant>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// The quota as one line ("1.5 GB of 10 GB used"); "Storage details not available" for anything
// else. The input is a QVariant holding a std::shared_ptr<ObjCQuota>, the form in which
// QuotaController answers; a null pointer, another type or an invalid QVariant is "anything else".
// Registered as "QuotaOverviewTransformer".
class QuotaOverviewTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;

private:
    const LocalizationController localizationController_;
};
