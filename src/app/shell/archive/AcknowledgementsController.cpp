#include "app/shell/archive/AcknowledgementsController.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include "app/common/LogChannels.h"

QByteArray acknowledgementsResource();

namespace {

QString escaped(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toString().toHtmlEscaped();
}

// Only web addresses become links; anything else in the list stays plain text.
QString link(const QJsonObject& object, const char* key, const QString& label) {
    const QString text = object.value(QLatin1String(key)).toString();
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return {};
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(text.toHtmlEscaped(), label.toHtmlEscaped());
}

}  // namespace

std::optional<QByteArray> AcknowledgementsController::bundledResource() {
    const QByteArray data = acknowledgementsResource();
    if (data.isEmpty()) return std::nullopt;
    return data;
}

std::optional<QString> AcknowledgementsController::htmlFrom(const QByteArray& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject()) return std::nullopt;
    const QJsonObject list = document.object();
    const QString title = escaped(list, "title");

    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n"
        "<style>body{font-family:sans-serif;max-width:48em;margin:2em auto;padding:0 1em;line-height:1.4}"
        "pre{white-space:pre-wrap;font-size:0.9em;background:#f4f4f4;padding:0.8em}"
        "h2{margin-top:1.6em}.meta{color:#555}</style>\n</head>\n<body>\n<h1>%1</h1>\n")
                       .arg(title);
    if (const QString preface = escaped(list, "preface"); !preface.isEmpty())
        html += QStringLiteral("<p>%1</p>\n").arg(preface);
    for (const QJsonValue& value : list.value(QLatin1String("components")).toArray()) {
        const QJsonObject component = value.toObject();
        html += QStringLiteral("<section>\n<h2>%1</h2>\n").arg(escaped(component, "title"));
        if (const QString usage = escaped(component, "usage"); !usage.isEmpty())
            html += QStringLiteral("<p class=\"meta\">%1</p>\n").arg(usage);
        if (const QString copyright = escaped(component, "copyright"); !copyright.isEmpty())
            html += QStringLiteral("<p>%1</p>\n").arg(copyright);
        QString licence = escaped(component, "license");
        if (const QString licenceLink = link(component, "licenseURL", QStringLiteral("full licence text"));
            !licenceLink.isEmpty())
            licence += QStringLiteral(" (%1)").arg(licenceLink);
        html += QStringLiteral("<p>Licence: %1</p>\n").arg(licence);
        if (const QString website = link(component, "website", component.value(QLatin1String("website")).toString());
            !website.isEmpty())
            html += QStringLiteral("<p>Website: %1</p>\n").arg(website);
        if (const QString text = escaped(component, "text"); !text.isEmpty())
            html += QStringLiteral("<pre>%1</pre>\n").arg(text);
        html += QStringLiteral("</section>\n");
    }
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}

std::optional<QUrl> AcknowledgementsController::acknowledgementsFileURL() const {
    const std::optional<QByteArray> resource = resource_ ? resource_() : std::nullopt;
    if (!resource) return std::nullopt;
    const std::optional<QString> html = htmlFrom(*resource);
    if (!html) return std::nullopt;
    return createFileFrom(*html);
}

std::optional<QUrl> AcknowledgementsController::createFileFrom(const QString& string) const {
    const std::optional<QUrl> url = fileURL();
    if (!url) return std::nullopt;
    QSaveFile file(url->toLocalFile());
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray data = string.toUtf8();
        if (file.write(data) == data.size() && file.commit()) return url;
    }
    OVLOG_ERROR(AppLog::setup(),
                QStringLiteral("Failed to create the acknowledgments.html file. Error: ") + file.errorString());
    return std::nullopt;
}

std::optional<QUrl> AcknowledgementsController::fileURL() const {
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (caches.isEmpty() || !QDir().mkpath(caches)) {
        const QString reason = caches.isEmpty() ? QStringLiteral("No caches folder is known")
                                                : QStringLiteral("Cannot create the folder %1").arg(caches);
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Failed to get the acknowledgments.html file url. Error: ") + reason);
        return std::nullopt;
    }
    return QUrl::fromLocalFile(QDir(caches).filePath(QStringLiteral("acknowledgments.html")));
}
