#include "app/shell/transformers/PathToLastPathComponentTransformer.h"

#include "app/shell/transformers/TransformerInput.h"

namespace {

QString lastPathComponent(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    if (path == QLatin1String("/")) return path;
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

QVariant PathToLastPathComponentTransformer::transformedValue(const QVariant& value) const {
    const auto path = TransformerInput::string(value);
    if (!path) return value;
    return lastPathComponent(*path);
}
