#pragma once

#include <QMetaType>
#include <QString>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// How often a link was opened, as a sentence; anything but a link's values comes back as it was.
// Registered as "ShareDownloadTransformer".
class ShareDownloadTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    LocalizationController localization_;
};
