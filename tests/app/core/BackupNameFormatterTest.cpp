#include <gtest/gtest.h>

#include "app/core/BackupNameFormatter.h"

namespace {

struct NameCase {
    const char* name;
    QString text;
    bool valid;
};

class BackupNameRule : public ::testing::TestWithParam<NameCase> {};

TEST_P(BackupNameRule, acceptsOnlyLettersDigitsAndInnerBlanks) {
    EXPECT_EQ(isValidBackupName(GetParam().text), GetParam().valid);
}

QString repeated(const QString& unit, int times) {
    QString s;
    for (int i = 0; i < times; ++i) s += unit;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Names, BackupNameRule,
    ::testing::Values(
        NameCase{"empty", QString(), false}, NameCase{"threeSpaces", QStringLiteral("   "), false},
        NameCase{"onlyTabAndNoBreakSpace", QStringLiteral("\t\u00A0"), false},
        NameCase{"leadingSpace", QStringLiteral(" Mac Backup"), false},
        NameCase{"trailingSpace", QStringLiteral("Mac Backup "), false},
        NameCase{"lettersDigitsInnerSpaces", QStringLiteral("My Mac 2 Backup"), true},
        NameCase{"max255", QString(255, QLatin1Char('a')), true},
        NameCase{"over255", QString(256, QLatin1Char('a')), false},
        NameCase{"hyphen", QStringLiteral("a-b"), false}, NameCase{"underscore", QStringLiteral("a_b"), false},
        NameCase{"fullStop", QStringLiteral("a.b"), false}, NameCase{"slash", QStringLiteral("a/b"), false},
        NameCase{"apostrophe", QStringLiteral("Anna's Mac"), false},
        NameCase{"diacritics", QStringLiteral("Büro Mäc"), true},
        NameCase{"tabBetweenWords", QStringLiteral("Mac\tBackup"), true},
        NameCase{"lineBreak", QStringLiteral("Mac\nBackup"), false},
        NameCase{"carriageReturn", QStringLiteral("Mac\rBackup"), false},
        NameCase{"leadingTab", QStringLiteral("\tMac"), true},
        NameCase{"trailingNoBreakSpace", QStringLiteral("Mac\u00A0"), true},
        NameCase{"otherScriptDigits", QStringLiteral("Rechner \u0663\u0664"), true},
        NameCase{"cjk", QStringLiteral("\u30D0\u30C3\u30AF\u30A2\u30C3\u30D7"), true},
        NameCase{"emoji", QStringLiteral("Mac \U0001F600"), false},
        NameCase{"controlCharacter", QStringLiteral("Mac\u0001"), false},
        NameCase{"brokenSurrogate", QString(QChar(0xD800)) + QStringLiteral("abc"), false},
        // A base letter and a combining accent are one character for the limit.
        NameCase{"combiningMarks255", repeated(QStringLiteral("e\u0301"), 255), true},
        NameCase{"combiningMarks256", repeated(QStringLiteral("e\u0301"), 256), false},
        NameCase{"astralLetters255", repeated(QStringLiteral("\U0001D400"), 255), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BackupNameFormatter, passesValidNamesUnchangedAndRefusesOthersWithItsText) {
    const BackupNameFormatter formatter;
    const struct {
        QString input;
        bool accepted;
    } rows[] = {{QStringLiteral("Desk Backup"), true}, {QStringLiteral("Desk-Backup"), false}, {QString(), false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.input.toStdString());
        QVariant object(QStringLiteral("untouched"));
        QString error;
        EXPECT_EQ(formatter.getObjectValue(&object, row.input, &error), row.accepted);
        EXPECT_EQ(object, row.accepted ? QVariant(row.input) : QVariant(QStringLiteral("untouched")));
        EXPECT_EQ(error, row.accepted ? QString() : QStringLiteral("Backup ungültig"));
        // Callers may ask for neither.
        EXPECT_EQ(formatter.getObjectValue(nullptr, row.input, nullptr), row.accepted);
    }
    EXPECT_EQ(formatter.stringForObjectValue(QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_FALSE(formatter.stringForObjectValue(42).has_value());
    EXPECT_FALSE(formatter.stringForObjectValue(QVariant()).has_value());
}

}  // namespace
