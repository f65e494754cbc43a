#pragma once

#include <QMetaType>

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/appkit/ValueTransformer.h"

// A link's time to live in seconds and the index of the days popup, both ways. The popup's day
// counts (`daysValidLimits`, in menu order, possibly with the unlimited value) are set by the
// link inspector before it binds the popup. Registered as "ShareInfoTtlTransformer".
class ShareInfoTtlTransformer : public ValueTransformer {
public:
    static constexpr double dayInterval = 86400;

    // Seconds to whole days, halves rounded away from zero; less than half a day counts as one.
    static std::int64_t daysFromTimeToLive(double seconds);

    QVariant transformedValue(const QVariant& value) const override;
    bool allowsReverseTransformation() const override { return true; }
    QVariant reverseTransformedValue(const QVariant& value) const override;
    static QMetaType transformedValueClass() { return QMetaType::fromType<qint64>(); }

    std::vector<std::int64_t> daysValidLimits() const;
    void setDaysValidLimits(std::vector<std::int64_t> limits);

private:
    mutable std::mutex mutex_;
    std::vector<std::int64_t> daysValidLimits_;
};
