#include "app/core/BackupNameFormatter.h"

#include <QTextBoundaryFinder>

namespace {

constexpr int kMaximumLength = 255;

// Tabs and the space separators; line breaks are not white space here.
bool isBlank(char32_t c) { return c == U'\t' || QChar::category(c) == QChar::Separator_Space; }

bool isLetterMarkOrNumber(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase: case QChar::Letter_Lowercase: case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier: case QChar::Letter_Other:
    case QChar::Mark_NonSpacing: case QChar::Mark_SpacingCombining: case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit: case QChar::Number_Letter: case QChar::Number_Other:
        return true;
    default:
        return false;
    }
}

int graphemeCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1) ++count;
    return count;
}

}  // namespace

bool isValidBackupName(const QString& name) {
    bool hasNonBlank = false;
    bool onlyAllowed = true;
    // A broken surrogate becomes U+FFFD, a symbol, and so fails the check.
    for (const char32_t c : name.toUcs4()) {
        if (!isBlank(c)) hasNonBlank = true;
        if (!isBlank(c) && !isLetterMarkOrNumber(c)) onlyAllowed = false;
    }
    if (!hasNonBlank) return false;
    if (name.endsWith(QLatin1Char(' ')) || name.startsWith(QLatin1Char(' '))) return false;
    if (graphemeCount(name) > kMaximumLength) return false;
    return onlyAllowed;
}

std::optional<QString> BackupNameFormatter::stringForObjectValue(const QVariant& object) const {
    if (object.metaType().id() != QMetaType::QString) return std::nullopt;
    return object.toString();
}

bool BackupNameFormatter::getObjectValue(QVariant* object, const QString& string, QString* errorDescription) const {
    if (isValidBackupName(string)) {
        if (object) *object = string;
        return true;
    }
    if (errorDescription) *errorDescription = invalidNameDescription();
    return false;
}

QString BackupNameFormatter::invalidNameDescription() { return QStringLiteral("Backup ungültig"); }
