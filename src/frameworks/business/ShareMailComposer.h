#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

// Share links are mailed from the user's own mail program: a "mailto:" URL with the recipients,
// subject and text is handed to the desktop. The application installs the handler that opens
// URLs (its workspace); without one, Qt's desktop services take it.
namespace ShareMailComposer {

// The mailto URL; none when an address is not a plain mail address (nothing that could smuggle
// headers or further recipients into the URL) or there is no recipient.
std::optional<QUrl> mailtoURL(const QStringList& addresses, const QString& subject, const QString& body);
// Whether the address is one plain mail address.
bool isPlainMailAddress(const QString& address);

// Main thread only. Answers whether a program took the URL.
bool open(const QUrl& url);
void setHandler(std::function<bool(const QUrl&)> handler);

}  // namespace ShareMailComposer
