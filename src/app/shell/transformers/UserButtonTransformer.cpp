#include "app/shell/transformers/UserButtonTransformer.h"

#include "app/shell/transformers/TransformerInput.h"

QVariant UserButtonTransformer::transformedValue(const QVariant& value) const {
    return TransformerInput::isNil(value) ? localizationController_.geButtonSignIn()
                                          : localizationController_.geButtonSignOut();
}
