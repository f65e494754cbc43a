#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// The title of the account button: sign out while there is a user (any value at all), sign in
// for none.
// One way; registered as "UserButtonTransformer".
class UserButtonTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    const LocalizationController localizationController_;
};
