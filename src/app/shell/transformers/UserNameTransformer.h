#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// "Signed in as <name>" for an ObjCUser (as std::shared_ptr<ObjCUser> or ObjCUser*): its name,
// else its mail address, else nothing in the format. Anything else comes back unchanged.
// One way; registered as "UserNameTransformer".
class UserNameTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    const LocalizationController localizationController_;
};
