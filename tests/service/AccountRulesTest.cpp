#include <gtest/gtest.h>

#include <QString>

#include "service/AccountRules.h"

namespace {

enum class Field { userName, mailAddress, password };

struct RuleCase {
    const char* label;
    Field field;
    QString value;
    bool accepted;
};

class AccountRulesTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(AccountRulesTest, AcceptsOnlySoundValues) {
    const RuleCase& c = GetParam();
    std::optional<QString> problem;
    switch (c.field) {
    case Field::userName: problem = AccountRules::userNameProblem(c.value); break;
    case Field::mailAddress: problem = AccountRules::mailAddressProblem(c.value); break;
    case Field::password: problem = AccountRules::passwordProblem(c.value); break;
    }
    EXPECT_EQ(!problem.has_value(), c.accepted) << (problem ? problem->toStdString() : "accepted");
    if (problem) {
        EXPECT_FALSE(problem->isEmpty());
    }
}

const RuleCase ruleCases[] = {
    {"plainName", Field::userName, "alice", true},
    {"nameWithSpaceInside", Field::userName, "alice smith", true},
    {"accentedName", Field::userName, QString::fromUtf8("zoë"), true},
    {"nameWithSinglePoints", Field::userName, "a.b.c", true},
    {"longestName", Field::userName, QString(64, u'x'), true},
    {"emptyName", Field::userName, "", false},
    {"tooLongName", Field::userName, QString(65, u'x'), false},
    {"slash", Field::userName, "a/b", false},
    {"backslash", Field::userName, "a\\b", false},
    {"parent", Field::userName, "..", false},
    {"current", Field::userName, ".", false},
    {"doublePointInside", Field::userName, "a..b", false},
    {"leadingPoint", Field::userName, ".hidden", false},
    {"newline", Field::userName, "al\nice", false},
    {"nul", Field::userName, QString("al") + QChar(0) + "ice", false},
    {"tab", Field::userName, "al\tice", false},
    {"zeroWidthSpace", Field::userName, QString::fromUtf8("ali\u200bce"), false},
    {"leadingSpace", Field::userName, " alice", false},
    {"trailingSpace", Field::userName, "alice ", false},
    {"mail", Field::mailAddress, "alice@example.org", true},
    {"mailSubdomain", Field::mailAddress, "a.b+c@mail.example.org", true},
    {"emptyMail", Field::mailAddress, "", false},
    {"mailWithoutAt", Field::mailAddress, "alice.example.org", false},
    {"mailTwoAts", Field::mailAddress, "a@b@example.org", false},
    {"mailNoLocalPart", Field::mailAddress, "@example.org", false},
    {"mailNoDotInDomain", Field::mailAddress, "alice@localhost", false},
    {"mailDomainEndsWithDot", Field::mailAddress, "alice@example.", false},
    {"mailDoubleDot", Field::mailAddress, "alice@example..org", false},
    {"mailWithSpace", Field::mailAddress, "ali ce@example.org", false},
    {"password", Field::password, "correct horse", true},
    {"shortestPassword", Field::password, "12345678", true},
    {"emptyPassword", Field::password, "", false},
    {"shortPassword", Field::password, "1234567", false},
    {"hugePassword", Field::password, QString(1025, u'p'), false},
};

INSTANTIATE_TEST_SUITE_P(Values, AccountRulesTest, ::testing::ValuesIn(ruleCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(AccountRulesNormalizationTest, ComposedAndDecomposedNamesAreOne) {
    const QString composed = QString::fromUtf8("zo\u00eb");
    const QString decomposed = QString::fromUtf8("zoe\u0308");
    ASSERT_NE(composed, decomposed);
    EXPECT_EQ(AccountRules::normalizedUserName(decomposed), composed);
    EXPECT_EQ(AccountRules::normalizedUserName(composed), composed);
}

}  // namespace
