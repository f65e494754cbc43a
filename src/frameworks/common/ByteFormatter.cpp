#include "frameworks/common/ByteFormatter.h"

#include <array>

namespace {

struct Unit {
    const char* name;
    int decimals;
};

constexpr std::array<Unit, 7> kUnits{{
    {"bytes", 0}, {"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}, {"EB", 2},
}};

// Exact integer arithmetic: a count times 100 no longer fits 64 bits near the top of the range.
__extension__ using Wide = unsigned __int128;

Wide power(Wide base, std::size_t exponent) {
    Wide result = 1;
    while (exponent-- > 0) result *= base;
    return result;
}

}  // namespace

QString ByteFormatter::string(qint64 bytes) const {
    const bool negative = bytes < 0;
    // Unsigned so that the most negative count has a magnitude too.
    const quint64 magnitude = negative ? quint64(0) - quint64(bytes) : quint64(bytes);
    const QString sign = negative ? QStringLiteral("-") : QString();
    const Wide base = style_ == CountStyle::binary ? 1024 : 1000;

    if (magnitude < base) {
        const QString count = locale_.toString(magnitude);
        return sign + count + (magnitude == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    }

    std::size_t unit = 1;
    while (unit + 1 < kUnits.size() && magnitude >= power(base, unit + 1)) ++unit;
    // The count in hundredths (or tenths, or whole units) of the unit, rounded half up.
    const auto rounded = [&](std::size_t u) {
        const Wide divisor = power(base, u);
        return (Wide(magnitude) * power(10, kUnits[u].decimals) + divisor / 2) / divisor;
    };
    Wide scaled = rounded(unit);
    // Rounding can reach the next unit's threshold (999.96 MB): that reads as 1 of the next unit.
    if (unit + 1 < kUnits.size() && scaled >= base * power(10, kUnits[unit].decimals)) {
        ++unit;
        scaled = rounded(unit);
    }

    const Wide fractionScale = power(10, kUnits[unit].decimals);
    QString number = locale_.toString(quint64(scaled / fractionScale));
    if (quint64 fraction = quint64(scaled % fractionScale); fraction != 0) {
        QString digits = QString::number(fraction).rightJustified(kUnits[unit].decimals, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0'))) digits.chop(1);
        number += locale_.decimalPoint() + digits;
    }
    return sign + number + QLatin1Char(' ') + QLatin1String(kUnits[unit].name);
}

QString ByteFormatter::format(qint64 bytes) {
    static const ByteFormatter formatter;
    return formatter.string(bytes);
}
