#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// "Downloading 3 of 10 files" for a SyncProgress; the plain "Downloading files" for anything
// else, no value included.
// One way; registered as "DownloadQueueCountTransformer".
class DownloadQueueCountTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    const LocalizationController localizationController_;
};
