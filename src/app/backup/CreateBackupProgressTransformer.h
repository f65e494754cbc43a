#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// "Backed up 3 MB of 10 MB" for the ObjCBackupProgress of a running backup, "Preparing backup… 40 %"
// for the preview's OVProgress before it, so one binding shows both phases; no value for anything
// else. One way; registered as "CreateBackupProgressTransformer".
class CreateBackupProgressTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    const LocalizationController localizationController_;
};
