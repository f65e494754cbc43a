#include "service/AccountRules.h"

#include <QChar>
#include <QList>
#include <QStringView>

namespace {

// Characters that do not show, or that break lines, are refused in names and addresses.
bool isInvisible(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

bool containsInvisible(const QString& text) {
    for (char32_t c : QStringView(text).toUcs4())
        if (isInvisible(c)) return true;
    return false;
}

}  // namespace

namespace AccountRules {

QString normalizedUserName(const QString& name) { return name.normalized(QString::NormalizationForm_C); }

std::optional<QString> userNameProblem(const QString& name) {
    if (name.isEmpty()) return QStringLiteral("Enter a user name.");
    if (name.size() > maximumUserNameLength)
        return QStringLiteral("A user name has at most %1 characters.").arg(maximumUserNameLength);
    if (name.contains(u'/') || name.contains(u'\\')) return QStringLiteral("A user name may not contain “/” or “\\”.");
    if (name.contains(QStringLiteral(".."))) return QStringLiteral("A user name may not contain “..”.");
    if (name.startsWith(u'.')) return QStringLiteral("A user name may not start with a point.");
    if (containsInvisible(name)) return QStringLiteral("A user name may not contain control characters.");
    if (name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("A user name may not begin or end with a space.");
    return std::nullopt;
}

std::optional<QString> mailAddressProblem(const QString& mailAddress) {
    const QString invalid = QStringLiteral("Enter a valid mail address.");
    if (mailAddress.isEmpty()) return QStringLiteral("Enter a mail address.");
    if (mailAddress.size() > maximumMailAddressLength || containsInvisible(mailAddress)) return invalid;
    for (QChar c : mailAddress)
        if (c.isSpace()) return invalid;
    const qsizetype at = mailAddress.indexOf(u'@');
    if (at <= 0 || at != mailAddress.lastIndexOf(u'@')) return invalid;
    const QStringView domain = QStringView(mailAddress).mid(at + 1);
    if (domain.isEmpty() || !domain.contains(u'.') || domain.startsWith(u'.') || domain.endsWith(u'.') ||
        domain.contains(QStringLiteral("..")))
        return invalid;
    return std::nullopt;
}

std::optional<QString> passwordProblem(const QString& password) {
    if (password.isEmpty()) return QStringLiteral("Enter a password.");
    if (password.size() < minimumPasswordLength)
        return QStringLiteral("A password has at least %1 characters.").arg(minimumPasswordLength);
    if (password.size() > maximumPasswordLength)
        return QStringLiteral("A password has at most %1 characters.").arg(maximumPasswordLength);
    return std::nullopt;
}

}  // namespace AccountRules
