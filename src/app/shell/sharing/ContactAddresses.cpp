#include "app/shell/sharing/ContactAddresses.h"

#include <QFile>
#include <QRegularExpression>

#include "frameworks/business/BackupSources.h"

namespace ContactAddresses {

QStringList inVCardText(const QString& text) {
    // Long lines are folded: a line break followed by a blank or a tab continues the line.
    QString unfolded = text;
    unfolded.replace(QRegularExpression(QStringLiteral("\\r?\\n[ \\t]")), QString());
    QStringList addresses;
    for (const QString& line : unfolded.split(QRegularExpression(QStringLiteral("\\r?\\n")))) {
        // "EMAIL:a@b", "EMAIL;TYPE=work:a@b", "item1.EMAIL;type=INTERNET:a@b".
        static const QRegularExpression email(QStringLiteral("^(?:[A-Za-z0-9-]+\\.)?EMAIL(?:;[^:]*)?:(.*)$"),
                                              QRegularExpression::CaseInsensitiveOption);
        const auto match = email.match(line);
        if (!match.hasMatch()) continue;
        const QString address = match.captured(1).trimmed();
        if (!address.isEmpty() && !addresses.contains(address)) addresses << address;
    }
    return addresses;
}

QStringList inContactsFolder() {
    QStringList addresses;
    for (const BackupSources::File& file : BackupSources::fromEnvironment().scan(BackupCategory::contacts)) {
        QFile card(file.path);
        if (!card.open(QIODevice::ReadOnly)) continue;
        for (const QString& address : inVCardText(QString::fromUtf8(card.readAll())))
            if (!addresses.contains(address)) addresses << address;
    }
    return addresses;
}

}  // namespace ContactAddresses
