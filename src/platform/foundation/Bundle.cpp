#include "platform/foundation/Bundle.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString kDefaultTable = QStringLiteral("Localizable");

QString tableName(const QString& table) { return table.isEmpty() ? kDefaultTable : table; }
}

Bundle& Bundle::main() {
    static Bundle bundle;
    return bundle;
}

QVariant Bundle::object(const QString& key) const {
    std::lock_guard lock(mutex_);
    return info_.value(key);
}

QVariantMap Bundle::info() const {
    std::lock_guard lock(mutex_);
    return info_;
}

void Bundle::setInfo(const QVariantMap& info) {
    std::lock_guard lock(mutex_);
    info_ = info;
}

bool Bundle::setInfoJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    setInfo(doc.object().toVariantMap());
    return true;
}

QString Bundle::localizedString(const QString& key, const QString& value, const QString& table) const {
    {
        std::lock_guard lock(mutex_);
        const auto t = tables_.constFind(tableName(table));
        if (t != tables_.constEnd()) {
            const auto it = t->constFind(key);
            if (it != t->constEnd()) return *it;
        }
    }
    return value.isEmpty() ? key : value;
}

void Bundle::setStringsTable(const QString& table, const QHash<QString, QString>& strings) {
    std::lock_guard lock(mutex_);
    tables_.insert(tableName(table), strings);
}

bool Bundle::hasStringsTable(const QString& table) const {
    std::lock_guard lock(mutex_);
    return tables_.contains(tableName(table));
}

namespace {

struct StringsParser {
    QString text;
    qsizetype pos = 0;

    bool atEnd() const { return pos >= text.size(); }

    void skipSpaceAndComments() {
        while (!atEnd()) {
            const QChar c = text.at(pos);
            if (c.isSpace()) {
                ++pos;
            } else if (text.mid(pos, 2) == QLatin1String("/*")) {
                const qsizetype end = text.indexOf(QLatin1String("*/"), pos + 2);
                pos = end < 0 ? text.size() : end + 2;
            } else if (text.mid(pos, 2) == QLatin1String("//")) {
                const qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
                pos = end < 0 ? text.size() : end + 1;
            } else {
                return;
            }
        }
    }

    // Reads a quoted string at pos; nullopt when there is none or it is unterminated.
    std::optional<QString> quoted() {
        if (atEnd() || text.at(pos) != QLatin1Char('"')) return std::nullopt;
        QString out;
        for (++pos; !atEnd(); ++pos) {
            const QChar c = text.at(pos);
            if (c == QLatin1Char('"')) {
                ++pos;
                return out;
            }
            if (c == QLatin1Char('\\') && pos + 1 < text.size()) {
                const QChar e = text.at(++pos);
                if (e == QLatin1Char('n')) out += QLatin1Char('\n');
                else if (e == QLatin1Char('t')) out += QLatin1Char('\t');
                else if (e == QLatin1Char('r')) out += QLatin1Char('\r');
                else if (e == QLatin1Char('U') || e == QLatin1Char('u')) {
                    bool ok = false;
                    const uint code = text.mid(pos + 1, 4).toUInt(&ok, 16);
                    if (ok) {
                        out += QChar(static_cast<char16_t>(code));
                        pos += 4;
                    } else {
                        out += e;
                    }
                } else out += e;
                continue;
            }
            out += c;
        }
        return std::nullopt;
    }

    void skipPast(QChar c) {
        const qsizetype end = text.indexOf(c, pos);
        pos = end < 0 ? text.size() : end + 1;
    }
};

}  // namespace

QHash<QString, QString> Bundle::parseStrings(const QByteArray& data) {
    QHash<QString, QString> out;
    StringsParser p{QString::fromUtf8(data)};
    while (true) {
        p.skipSpaceAndComments();
        if (p.atEnd()) break;
        auto key = p.quoted();
        if (!key) {
            p.skipPast(QLatin1Char(';'));
            continue;
        }
        p.skipSpaceAndComments();
        if (p.atEnd() || p.text.at(p.pos) != QLatin1Char('=')) {
            p.skipPast(QLatin1Char(';'));
            continue;
        }
        ++p.pos;
        p.skipSpaceAndComments();
        auto value = p.quoted();
        p.skipSpaceAndComments();
        const bool terminated = !p.atEnd() && p.text.at(p.pos) == QLatin1Char(';');
        if (value && terminated) out.insert(*key, *value);
        p.skipPast(QLatin1Char(';'));
    }
    return out;
}
