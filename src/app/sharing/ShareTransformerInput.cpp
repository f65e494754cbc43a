#include "app/sharing/ShareTransformerInput.h"

#include <QList>

#include <cmath>
#include <limits>

#include "platform/appkit/ValueTransformer.h"

namespace ShareTransformerInput {

bool isNumber(const QVariant& value) { return ValueTransformer::isNumber(value); }

std::optional<std::int64_t> integer(const QVariant& value) {
    if (!isNumber(value)) return std::nullopt;
    if (value.metaType().id() == QMetaType::Double || value.metaType().id() == QMetaType::Float) {
        const double d = value.toDouble();
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) return std::nullopt;
        return static_cast<std::int64_t>(d);
    }
    return value.toLongLong();
}

std::optional<std::int64_t> exactInteger(const QVariant& value) {
    if (!isNumber(value) || value.metaType().id() == QMetaType::Bool) return std::nullopt;
    const auto whole = integer(value);
    if (!whole) return std::nullopt;
    if ((value.metaType().id() == QMetaType::Double || value.metaType().id() == QMetaType::Float) &&
        double(*whole) != value.toDouble())
        return std::nullopt;
    return whole;
}

std::optional<std::vector<std::int64_t>> integerList(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QList<qint64>>()) {
        const auto list = value.value<QList<qint64>>();
        return std::vector<std::int64_t>(list.begin(), list.end());
    }
    if (value.metaType() == QMetaType::fromType<QList<int>>()) {
        const auto list = value.value<QList<int>>();
        return std::vector<std::int64_t>(list.begin(), list.end());
    }
    if (value.metaType().id() != QMetaType::QVariantList) return std::nullopt;
    std::vector<std::int64_t> result;
    for (const QVariant& entry : value.toList()) {
        const auto number = integer(entry);
        if (!number) return std::nullopt;
        result.push_back(*number);
    }
    return result;
}

}  // namespace ShareTransformerInput
