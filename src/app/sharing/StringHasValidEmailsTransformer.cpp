#include "app/sharing/StringHasValidEmailsTransformer.h"

#include <QStringList>

#include "app/sharing/StringHasValidEmails.h"

QVariant StringHasValidEmailsTransformer::transformedValue(const QVariant& value) const {
    if (value.metaType().id() == QMetaType::QStringList) return hasValidEmails(value.toStringList().join(u','));
    if (value.metaType().id() == QMetaType::QVariantList) {
        QStringList texts;
        for (const QVariant& entry : value.toList()) {
            if (entry.metaType().id() != QMetaType::QString) return false;
            texts << entry.toString();
        }
        return hasValidEmails(texts.join(u','));
    }
    return false;
}
