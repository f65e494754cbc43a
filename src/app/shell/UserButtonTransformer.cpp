#include "app/shell/UserButtonTransformer.h"

#include "app/shell/TransformerInput.h"

QVariant UserButtonTransformer::transformedValue(const QVariant& value) const {
    return TransformerInput::isNil(value) ? localizationController_.geButtonSignIn()
                                          : localizationController_.geButtonSignOut();
}
