#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// Which server the client talks to. ORVELLA_API_BASE_URL wins when it is set; else the server the
// user named on the sign-in page; else none, and the application runs its own on this computer.
// A server is its base URL alone: https to any host, or http to this computer only (a password
// must never cross a network in the clear).
namespace ServerChoice {

inline constexpr char environmentVariable[] = "ORVELLA_API_BASE_URL";

std::optional<QUrl> chosen();
bool isFromEnvironment();
// Keeps the user's choice (none: this computer's own server again). The environment still wins.
void store(const std::optional<QUrl>& server);

// The base URL that `text` names, or why it cannot be one (a text for the user).
struct Parsed {
    std::optional<QUrl> url;
    QString problem;
};
// An empty text is no server of its own (this computer's); a bare host gets https.
Parsed parse(const QString& text);
// Whether the host is this computer itself.
bool isLoopback(const QString& host);
// For the user: the URL without a trailing slash, or that it is this computer's own.
QString describe(const std::optional<QUrl>& server);

}  // namespace ServerChoice
