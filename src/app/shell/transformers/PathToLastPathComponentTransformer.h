#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// A path's last component ("/a/b/" gives "b", "/" gives "/"); anything else comes back unchanged.
// One way; registered as "PathToLastPathComponentTransformer".
class PathToLastPathComponentTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }
};
