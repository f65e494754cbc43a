#pragma once

#include <QLocale>
#include <QString>
#include <QtGlobal>

// Turns a byte count into short text the way a file manager shows sizes: "0 bytes", "1 byte",
// "999 bytes", "1 KB", "1.5 MB", "2.34 GB".
//
// The rule: below one kilobyte the exact count in bytes; kilobytes as a whole number; megabytes
// with at most one decimal; gigabytes and above with at most two; trailing zeros dropped. Rounding
// is half away from zero and the unit is picked after rounding, so 999,500 bytes read "1 MB", not
// "1000 KB". Negative counts get a leading minus sign.
class ByteFormatter {
public:
    enum class CountStyle {
        decimal,  // 1 KB = 1000 bytes, like file managers and disk sizes
        binary,   // 1 KB = 1024 bytes, like memory sizes
    };

    ByteFormatter() = default;
    explicit ByteFormatter(CountStyle style) : style_(style) {}

    CountStyle countStyle() const { return style_; }
    void setCountStyle(CountStyle style) { style_ = style; }
    // The decimal separator's locale; the C locale ("1.5 MB") unless set.
    QLocale locale() const { return locale_; }
    void setLocale(const QLocale& locale) { locale_ = locale; }

    QString string(qint64 bytes) const;

    // With the default options.
    static QString format(qint64 bytes);

private:
    CountStyle style_ = CountStyle::decimal;
    QLocale locale_ = QLocale::c();
};

// The name the common framework's callers know it by.
using OrvellaByteFormatter = ByteFormatter;
