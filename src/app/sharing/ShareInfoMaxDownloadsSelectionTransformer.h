#pragma once

#include <QMetaType>

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/appkit/ValueTransformer.h"

// A link's maximum downloads and the index of the downloads popup, both ways; the popup's limits
// (`maxDownloadLimits`, in menu order) are set by the link inspector. A value not among them
// selects the first entry. Registered as "ShareInfoMaxDownloadsSelectionTransformer".
class ShareInfoMaxDownloadsSelectionTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    bool allowsReverseTransformation() const override { return true; }
    QVariant reverseTransformedValue(const QVariant& value) const override;
    static QMetaType transformedValueClass() { return QMetaType::fromType<qint64>(); }

    std::vector<std::int64_t> maxDownloadLimits() const;
    void setMaxDownloadLimits(std::vector<std::int64_t> limits);

private:
    mutable std::mutex mutex_;
    std::vector<std::int64_t> maxDownloadLimits_;
};
