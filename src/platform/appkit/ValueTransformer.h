#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

// Turns a model value into the value a control shows, looked up by name. The registry holds one
// instance per name and hands that same instance to every look-up; it is safe from any thread.
class ValueTransformer {
public:
    virtual ~ValueTransformer();
    virtual QVariant transformedValue(const QVariant& value) const = 0;
    virtual bool allowsReverseTransformation() const { return false; }
    virtual QVariant reverseTransformedValue(const QVariant&) const { return {}; }

    // Registers `transformer` under `name`, replacing an earlier one; nullptr removes the name.
    static void setValueTransformer(std::shared_ptr<ValueTransformer> transformer, const QString& name);
    // nullptr when nothing is registered under `name`.
    static std::shared_ptr<ValueTransformer> forName(const QString& name);
    // In the order of first registration.
    static QStringList registeredNames();

    // Whether a bound value is a number as transformers take it: a Boolean or any integer or
    // floating-point type.
    static bool isNumber(const QVariant& value);
    // The valid date and time of a bound value, plain or in an optional; none for anything else.
    static std::optional<QDateTime> date(const QVariant& value);
};
