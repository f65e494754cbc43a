#pragma once

#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// A Boolean for the selective-sync controls: true only for a false number once the first launch
// has been completed (the setting `isAlreadyLaunched`, read afresh each time). An invalid value
// gives an invalid value; anything that is not a number gives false. One way only.
// Registered as "SelectiveSyncButtonTransformer".
class SelectiveSyncButtonTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
};
