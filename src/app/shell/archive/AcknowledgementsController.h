#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// The licences page of the third-party components the application is built with: rebuilt from the
// compiled-in list on every request and written as "acknowledgments.html" into the caches folder,
// for the general pane to open in the browser. Keeps no state.
class AcknowledgementsController {
public:
    // The list as JSON: {"title", "preface", "components": [{"title", "usage", "copyright",
    // "license", "licenseURL", "website", "text"}]}. Nothing when the program carries none.
    using Resource = std::function<std::optional<QByteArray>()>;

    // The list compiled into the program.
    static std::optional<QByteArray> bundledResource();

    explicit AcknowledgementsController(Resource resource = bundledResource) : resource_(std::move(resource)) {}

    // The freshly written page, or nothing when there is no list, no caches folder or the page
    // could not be written (the last two are logged on "Setup").
    std::optional<QUrl> acknowledgementsFileURL() const;
    // Writes the text to the page's place atomically in UTF-8, replacing an earlier page.
    std::optional<QUrl> createFileFrom(const QString& string) const;
    // "<caches folder>/acknowledgments.html"; the caches folder is made when missing.
    std::optional<QUrl> fileURL() const;

    // The page for a list; nothing when the data is not such a list.
    static std::optional<QString> htmlFrom(const QByteArray& json);

private:
    Resource resource_;
};
