#include "app/shell/transformers/UserNameTransformer.h"

#include "app/core/ObjCUser.h"
#include "app/shell/transformers/TransformerInput.h"

QVariant UserNameTransformer::transformedValue(const QVariant& value) const {
    const ObjCUser* user = TransformerInput::user(value);
    if (!user) return value;
    QString shown;
    if (!user->name().isEmpty()) shown = user->name();
    else if (user->mailAddress()) shown = *user->mailAddress();
    return localizationController_.geLabelUserName().arg(shown);
}
