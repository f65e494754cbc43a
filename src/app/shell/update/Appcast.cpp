#include "app/shell/update/Appcast.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include "app/shell/update/VersionComparator.h"

namespace {

// Attribute looked up by its local name, whatever namespace prefix the feed used.
QString attribute(const QXmlStreamAttributes& attributes, QStringView localName) {
    for (const QXmlStreamAttribute& a : attributes)
        if (a.name() == localName) return a.value().toString().trimmed();
    return {};
}

bool isUsableArchiveURL(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"https" || scheme == u"http" || scheme == u"file");
}

QString plainText(const QString& html) {
    QString text = html;
    text.replace(QRegularExpression(QStringLiteral("<(br|/p|/li)[^>]*>")), QStringLiteral("\n"));
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return text.trimmed();
}

}  // namespace

std::optional<std::vector<AppcastItem>> Appcast::parse(const QByteArray& data, QString* error) {
    QXmlStreamReader xml(data);
    std::vector<AppcastItem> items;
    bool sawChannel = false;
    std::optional<AppcastItem> item;
    bool hasEnclosure = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (name == u"channel") {
                sawChannel = true;
            } else if (name == u"item") {
                item.emplace();
                hasEnclosure = false;
            } else if (item && name == u"title") {
                item->title = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            } else if (item && name == u"description") {
                item->releaseNotes = plainText(xml.readElementText(QXmlStreamReader::IncludeChildElements));
            } else if (item && name == u"releaseNotesLink") {
                item->releaseNotesURL = QUrl(xml.readElementText().trimmed());
            } else if (item && name == u"version") {
                item->version = xml.readElementText().trimmed();
            } else if (item && name == u"shortVersionString") {
                item->displayVersion = xml.readElementText().trimmed();
            } else if (item && name == u"minimumSystemVersion") {
                item->minimumSystemVersion = xml.readElementText().trimmed();
            } else if (item && name == u"enclosure") {
                const QXmlStreamAttributes attributes = xml.attributes();
                item->fileURL = QUrl(attribute(attributes, u"url"));
                bool ok = false;
                const qint64 length = attribute(attributes, u"length").toLongLong(&ok);
                item->length = ok && length > 0 ? length : 0;
                item->sha256 = attribute(attributes, u"sha256").toLower();
                // The enclosure's own version attributes win over nothing, not over elements.
                const QString version = attribute(attributes, u"version");
                if (item->version.isEmpty()) item->version = version;
                const QString shortVersion = attribute(attributes, u"shortVersionString");
                if (item->displayVersion.isEmpty()) item->displayVersion = shortVersion;
                hasEnclosure = true;
            }
        } else if (xml.isEndElement() && xml.name() == u"item" && item) {
            if (hasEnclosure && isUsableArchiveURL(item->fileURL) && !item->version.isEmpty()) {
                if (item->displayVersion.isEmpty()) item->displayVersion = item->version;
                items.push_back(*item);
            }
            item.reset();
        }
    }
    if (xml.hasError() || !sawChannel) {
        if (error)
            *error = xml.hasError() ? xml.errorString() : QStringLiteral("The feed has no channel.");
        return std::nullopt;
    }
    return items;
}

std::optional<AppcastItem> Appcast::bestItem(const std::vector<AppcastItem>& items, const QString& hostVersion,
                                             const QString& systemVersion) {
    std::optional<AppcastItem> best;
    for (const AppcastItem& item : items) {
        if (!systemVersion.isEmpty() && !item.minimumSystemVersion.isEmpty() &&
            VersionComparator::compare(systemVersion, item.minimumSystemVersion) < 0)
            continue;
        if (VersionComparator::compare(item.version, hostVersion) <= 0) continue;
        if (!best || VersionComparator::compare(item.version, best->version) > 0) best = item;
    }
    return best;
}
