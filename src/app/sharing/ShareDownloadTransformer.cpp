#include "app/sharing/ShareDownloadTransformer.h"

#include <memory>

#include "app/sharing/ObjCShareInfo.h"

QVariant ShareDownloadTransformer::transformedValue(const QVariant& value) const {
    const ObjCShareInfo* info = nullptr;
    if (value.metaType().flags() & QMetaType::PointerToQObject) info = qobject_cast<const ObjCShareInfo*>(value.value<QObject*>());
    else if (value.metaType() == QMetaType::fromType<std::shared_ptr<ObjCShareInfo>>())
        info = value.value<std::shared_ptr<ObjCShareInfo>>().get();
    if (!info) return value;
    const QString format = info->downloadCount() == 1 ? localization_.shItemLabelAccessSingle()
                                                      : localization_.shItemLabelAccessMultiple();
    return format.arg(QString::number(info->downloadCount()));
}
