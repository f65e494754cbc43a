#include "app/core/QuotaOverviewTransformer.h"

#include <memory>

#include "app/core/ObjCQuota.h"
#include "frameworks/common/ByteFormatter.h"

namespace {

const OrvellaByteFormatter& byteFormatter() {
    static const OrvellaByteFormatter formatter;
    return formatter;
}

}  // namespace

QVariant QuotaOverviewTransformer::transformedValue(const QVariant& value) const {
    const auto quota = value.metaType() == QMetaType::fromType<std::shared_ptr<ObjCQuota>>()
                           ? value.value<std::shared_ptr<ObjCQuota>>()
                           : nullptr;
    if (!quota) return localizationController_.geLabelStorageDetailsNotAvailable();
    const OrvellaByteFormatter& formatter = byteFormatter();
    return localizationController_.geLabelStorageUsed().arg(formatter.string(quota->used()),
                                                             formatter.string(quota->overall()));
}
