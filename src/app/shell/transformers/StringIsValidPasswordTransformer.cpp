#include "app/shell/transformers/StringIsValidPasswordTransformer.h"

#include <QLatin1StringView>

#include <algorithm>

#include "app/shell/transformers/TransformerInput.h"

namespace {

constexpr qsizetype minimumLength = 6;
constexpr qsizetype maximumLength = 20;

}  // namespace

bool StringIsValidPasswordTransformer::isValidPasswordCharacter(QChar character) {
    // Checked as plain ASCII: a case-insensitive match of the letters would let characters such
    // as the Kelvin sign through, which fold to ASCII letters but are none.
    static constexpr QLatin1StringView punctuation("!#$%&()*+,-./;:<>=?@[]^_{}|~");
    const char16_t c = character.unicode();
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return true;
    return c < 0x80 && punctuation.contains(QLatin1Char(char(c)));
}

bool StringIsValidPasswordTransformer::isValidPassword(const QString& password) {
    const qsizetype length = password.size();
    if (length < minimumLength || length > maximumLength) return false;
    return std::all_of(password.begin(), password.end(), isValidPasswordCharacter);
}

QVariant StringIsValidPasswordTransformer::transformedValue(const QVariant& value) const {
    const auto text = TransformerInput::string(value);
    return QVariant(text && isValidPassword(*text));
}
