#pragma once

#include <QChar>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// True for a share password: 6 to 20 characters, each a letter or digit of ASCII or one of the
// punctuation characters the service accepts. False for everything else.
// One way; registered as "StringIsValidPasswordTransformer".
class StringIsValidPasswordTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<bool>(); }

    // The rule itself, for the share password sheet as well.
    static bool isValidPassword(const QString& password);
    static bool isValidPasswordCharacter(QChar character);
};
