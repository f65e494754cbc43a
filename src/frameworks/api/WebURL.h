#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// Absolute web addresses the REST client may talk to. Parsing is strict: a text that QUrl would
// merely tolerate, or that names no host ("https://", "www.example/x"), is no address at all, so a
// mistyped configuration shows up as missing instead of as a request to nowhere.
namespace WebURL {

// The URL for `text` when it is a strictly valid http or https URL with a host; none otherwise.
std::optional<QUrl> parse(const QString& text);

}  // namespace WebURL
