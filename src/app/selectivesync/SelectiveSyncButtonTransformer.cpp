#include "app/selectivesync/SelectiveSyncButtonTransformer.h"

#include <QMetaType>

#include "app/core/SettingsController.h"

namespace {

bool isNumber(const QVariant& value) {
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

}  // namespace

QVariant SelectiveSyncButtonTransformer::transformedValue(const QVariant& value) const {
    if (!value.isValid()) return {};
    if (!isNumber(value)) return QVariant(false);
    return QVariant(!value.toBool() && SettingsController().settings()->isAlreadyLaunched());
}
