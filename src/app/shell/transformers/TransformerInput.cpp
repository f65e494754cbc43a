#include "app/shell/transformers/TransformerInput.h"

#include <QMetaType>
#include <QObject>

#include <memory>

#include "app/core/ObjCUser.h"
#include "platform/appkit/ValueTransformer.h"

namespace TransformerInput {

namespace {

template <typename T>
bool holds(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<T>();
}

}  // namespace

bool isNil(const QVariant& value) {
    if (!value.isValid() || holds<std::nullptr_t>(value)) return true;
    if (holds<std::optional<QString>>(value)) return !value.value<std::optional<QString>>();
    if (holds<std::optional<QDateTime>>(value)) return !value.value<std::optional<QDateTime>>();
    if (holds<std::optional<QByteArray>>(value)) return !value.value<std::optional<QByteArray>>();
    if (holds<std::shared_ptr<ObjCUser>>(value)) return !value.value<std::shared_ptr<ObjCUser>>();
    if (value.metaType().flags().testFlag(QMetaType::PointerToQObject)) return !value.value<QObject*>();
    return false;
}

bool isNumber(const QVariant& value) { return ValueTransformer::isNumber(value); }

std::optional<QString> string(const QVariant& value) {
    if (holds<QString>(value)) return value.toString();
    if (holds<std::optional<QString>>(value)) return value.value<std::optional<QString>>();
    return std::nullopt;
}

std::optional<QByteArray> data(const QVariant& value) {
    if (holds<QByteArray>(value)) return value.toByteArray();
    if (holds<std::optional<QByteArray>>(value)) return value.value<std::optional<QByteArray>>();
    return std::nullopt;
}

std::optional<QDateTime> date(const QVariant& value) { return ValueTransformer::date(value); }

const ObjCUser* user(const QVariant& value) {
    if (holds<std::shared_ptr<ObjCUser>>(value)) return value.value<std::shared_ptr<ObjCUser>>().get();
    if (value.metaType().flags().testFlag(QMetaType::PointerToQObject))
        return qobject_cast<const ObjCUser*>(value.value<QObject*>());
    return nullptr;
}

}  // namespace TransformerInput
