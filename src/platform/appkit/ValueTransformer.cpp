#include "platform/appkit/ValueTransformer.h"

#include <QHash>

#include <mutex>

namespace {

struct Registry {
    std::mutex mutex;
    QHash<QString, std::shared_ptr<ValueTransformer>> byName;
    QStringList order;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

}  // namespace

ValueTransformer::~ValueTransformer() = default;

bool ValueTransformer::isNumber(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Float:
    case QMetaType::Double: return true;
    default: return false;
    }
}

std::optional<QDateTime> ValueTransformer::date(const QVariant& value) {
    std::optional<QDateTime> date;
    if (value.metaType() == QMetaType::fromType<QDateTime>()) date = value.toDateTime();
    else if (value.metaType() == QMetaType::fromType<std::optional<QDateTime>>())
        date = value.value<std::optional<QDateTime>>();
    if (date && !date->isValid()) return std::nullopt;
    return date;
}

void ValueTransformer::setValueTransformer(std::shared_ptr<ValueTransformer> transformer,
                                           const QString& name) {
    Registry& r = registry();
    std::shared_ptr<ValueTransformer> replaced;  // released off the lock
    std::lock_guard lock(r.mutex);
    if (!transformer) {
        replaced = r.byName.take(name);
        r.order.removeAll(name);
        return;
    }
    if (!r.byName.contains(name)) r.order << name;
    replaced = std::exchange(r.byName[name], std::move(transformer));
}

std::shared_ptr<ValueTransformer> ValueTransformer::forName(const QString& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.byName.value(name);
}

QStringList ValueTransformer::registeredNames() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.order;
}
