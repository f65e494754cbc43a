#include "app/sharing/ShareLimitTitles.h"

#include <QStringList>

#include "app/sharing/ShareTransformerInput.h"
#include "frameworks/business/ShareTypes.h"

QVariant shareLimitTitles(const QVariant& value, const QString& unlimitedTitle) {
    const auto limits = ShareTransformerInput::integerList(value);
    if (!limits) return {};
    QStringList titles;
    for (std::int64_t limit : *limits)
        titles << (limit == OVFacadeConstants::unlimitedValue ? unlimitedTitle : QString::number(limit));
    return titles;
}
