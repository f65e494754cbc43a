#include "app/sharing/ShareInfoTtlTransformer.h"

#include <algorithm>
#include <cmath>

#include "app/sharing/ShareTransformerInput.h"
#include "frameworks/business/ShareTypes.h"

std::int64_t ShareInfoTtlTransformer::daysFromTimeToLive(double seconds) {
    const double days = std::round(seconds / dayInterval);
    if (!std::isfinite(days) || std::fabs(days) >= 9.2e18) return 1;
    const auto whole = static_cast<std::int64_t>(days);
    return whole == 0 ? 1 : whole;
}

QVariant ShareInfoTtlTransformer::transformedValue(const QVariant& value) const {
    const auto whole = ShareTransformerInput::integer(value);
    if (!whole) return QVariant::fromValue<qint64>(0);
    const std::int64_t searched =
        *whole == OVFacadeConstants::unlimitedValue ? OVFacadeConstants::unlimitedValue : daysFromTimeToLive(value.toDouble());
    const auto limits = daysValidLimits();
    const auto found = std::find(limits.begin(), limits.end(), searched);
    if (found == limits.end()) return {};
    return QVariant::fromValue<qint64>(found - limits.begin());
}

QVariant ShareInfoTtlTransformer::reverseTransformedValue(const QVariant& value) const {
    const auto index = ShareTransformerInput::exactInteger(value);
    const auto limits = daysValidLimits();
    if (!index || *index < 0 || *index >= std::int64_t(limits.size())) return QVariant::fromValue<qint64>(-1);
    const std::int64_t days = limits[std::size_t(*index)];
    if (days == OVFacadeConstants::unlimitedValue) return QVariant::fromValue<qint64>(days);
    return QVariant::fromValue<qint64>(days * std::int64_t(dayInterval));
}

std::vector<std::int64_t> ShareInfoTtlTransformer::daysValidLimits() const {
    std::lock_guard lock(mutex_);
    return daysValidLimits_;
}

void ShareInfoTtlTransformer::setDaysValidLimits(std::vector<std::int64_t> limits) {
    std::lock_guard lock(mutex_);
    daysValidLimits_ = std::move(limits);
}
