#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

class ObjCUser;

// How the shell's transformers read their input. Bindings hand values over as QVariants in the
// form the model's property has, so an optional that holds a value counts as that value, and an
// empty optional or a null object pointer counts as no value at all.
namespace TransformerInput {

// No value: an invalid QVariant, a null pointer, an empty optional.
bool isNil(const QVariant& value);
// A Boolean or any integer or floating-point number.
bool isNumber(const QVariant& value);
// The text of a QString or of an optional QString holding one.
std::optional<QString> string(const QVariant& value);
std::optional<QByteArray> data(const QVariant& value);
// A valid date and time, plain or in an optional.
std::optional<QDateTime> date(const QVariant& value);
// The user of a std::shared_ptr<ObjCUser> or an ObjCUser*; nullptr for anything else.
const ObjCUser* user(const QVariant& value);

}  // namespace TransformerInput
