#pragma once

#include <QImage>
#include <QMetaType>
#include <QString>

#include "platform/appkit/ValueTransformer.h"

// The lock shown beside a link: closed for a password-protected link, open otherwise; an empty
// image when there is no number. Registered as "ShareInfoPasswordTransformer".
class ShareInfoPasswordTransformer : public ValueTransformer {
public:
    static inline const QString lockedImageName = QStringLiteral("NSImageNameLockLockedTemplate");
    static inline const QString unlockedImageName = QStringLiteral("NSImageNameLockUnlockedTemplate");

    // The lock drawn as a template image (black on transparent); its text "name" is its name.
    // Null for any other name.
    static QImage namedImage(const QString& name);

    QVariant transformedValue(const QVariant& value) const override;
    static QMetaType transformedValueClass() { return QMetaType::fromType<QImage>(); }
};
