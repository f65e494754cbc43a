#include "app/shell/update/VersionComparator.h"

#include <QList>

namespace {

enum class PartType { number, text, separator };

struct Part {
    PartType type;
    QString text;
};

PartType typeOf(QChar c) {
    if (c.isDigit()) return PartType::number;
    if (c.isSpace() || c == u'.' || c == u'-' || c == u'_' || c == u'+') return PartType::separator;
    return PartType::text;
}

QList<Part> split(const QString& version) {
    QList<Part> parts;
    for (QChar c : version.trimmed()) {
        const PartType type = typeOf(c);
        // Every separator stands alone so that "1..2" and "1.2" differ as they should.
        if (!parts.isEmpty() && parts.last().type == type && type != PartType::separator)
            parts.last().text.append(c);
        else
            parts.append({type, QString(c)});
    }
    return parts;
}

int compareNumbers(const QString& a, const QString& b) {
    // Digit runs may exceed any integer type; compare them without converting.
    QString x = a, y = b;
    while (x.size() > 1 && x.startsWith(u'0')) x.remove(0, 1);
    while (y.size() > 1 && y.startsWith(u'0')) y.remove(0, 1);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return x.compare(y);
}

int sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

int VersionComparator::compare(const QString& a, const QString& b) {
    const QList<Part> partsA = split(a);
    const QList<Part> partsB = split(b);
    const qsizetype common = std::min(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < common; ++i) {
        const Part& x = partsA[i];
        const Part& y = partsB[i];
        if (x.type == y.type) {
            int result = 0;
            if (x.type == PartType::number) result = compareNumbers(x.text, y.text);
            else if (x.type == PartType::text) result = x.text.compare(y.text, Qt::CaseInsensitive);
            if (result != 0) return sign(result);
            continue;
        }
        // Text marks a pre-release: anything else at that place is the newer version.
        if (x.type == PartType::text) return -1;
        if (y.type == PartType::text) return 1;
        // A number against a separator: the number continues the version, so it is newer.
        return x.type == PartType::number ? 1 : -1;
    }
    if (partsA.size() == partsB.size()) return 0;
    // One version goes on: "1.0b1" is older than "1.0", "1.0.1" newer.
    const bool aLonger = partsA.size() > partsB.size();
    const Part& next = aLonger ? partsA[common] : partsB[common];
    // A trailing separator alone ("1.0." against "1.0") changes nothing.
    if (next.type == PartType::separator) {
        const QList<Part>& longer = aLonger ? partsA : partsB;
        if (common + 1 >= longer.size()) return 0;
        const Part& after = longer[common + 1];
        if (after.type == PartType::text) return aLonger ? -1 : 1;
        return aLonger ? 1 : -1;
    }
    if (next.type == PartType::text) return aLonger ? -1 : 1;
    return aLonger ? 1 : -1;
}
