#include "app/sharing/ShareInfoMaxDownloadsSelectionTransformer.h"

#include <algorithm>

#include "app/sharing/ShareTransformerInput.h"

QVariant ShareInfoMaxDownloadsSelectionTransformer::transformedValue(const QVariant& value) const {
    const auto whole = ShareTransformerInput::integer(value);
    if (!whole) return QVariant::fromValue<qint64>(0);
    const auto limits = maxDownloadLimits();
    const auto found = std::find(limits.begin(), limits.end(), *whole);
    return QVariant::fromValue<qint64>(found == limits.end() ? 0 : found - limits.begin());
}

QVariant ShareInfoMaxDownloadsSelectionTransformer::reverseTransformedValue(const QVariant& value) const {
    const auto index = ShareTransformerInput::exactInteger(value);
    const auto limits = maxDownloadLimits();
    if (!index || *index < 0 || *index >= std::int64_t(limits.size())) return QVariant::fromValue<qint64>(-1);
    return QVariant::fromValue<qint64>(limits[std::size_t(*index)]);
}

std::vector<std::int64_t> ShareInfoMaxDownloadsSelectionTransformer::maxDownloadLimits() const {
    std::lock_guard lock(mutex_);
    return maxDownloadLimits_;
}

void ShareInfoMaxDownloadsSelectionTransformer::setMaxDownloadLimits(std::vector<std::int64_t> limits) {
    std::lock_guard lock(mutex_);
    maxDownloadLimits_ = std::move(limits);
}
