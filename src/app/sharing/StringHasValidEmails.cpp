#include "app/sharing/StringHasValidEmails.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

bool hasValidEmails(const QString& text) {
    if (text.isEmpty()) return false;
    static const QRegularExpression address(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,64}")));
    const QStringList pieces = text.split(u',', Qt::SkipEmptyParts);
    // Separators alone name nobody: a send to them would go nowhere.
    if (pieces.isEmpty()) return false;
    return std::all_of(pieces.begin(), pieces.end(), [](const QString& piece) { return address.match(piece).hasMatch(); });
}
