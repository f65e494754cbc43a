#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// The pushes the application sends to each extension instance, as the extension reads them.
namespace ExtensionMessages {

// One item's new badge word. Both keys are required.
struct URLSyncStatus {
    QUrl url;
    QString itemStatusDescription;
    static std::optional<URLSyncStatus> decode(const QByteArray& json);
};

// The sync folder, announced when sync is set up for it.
struct RootDirectory {
    QString path;
    static std::optional<RootDirectory> decode(const QByteArray& json);
};

}  // namespace ExtensionMessages

// Names and time-outs the extension shares with the application.
namespace ExtensionPorts {
inline constexpr double sendTimeout = 1.0;
inline constexpr double receiveTimeout = 1.0;
inline constexpr int messageID = 1;
// G + ".fsereg", G + ".fseserver" and G + "." + suffix, G being the app group.
QString registrationPortName();
QString badgeServerPortName();
QString appGroupIdentifier();
// `length` characters drawn from the system random source out of a-z, A-Z and 0-9.
QString randomPortSuffix(int length);
}  // namespace ExtensionPorts
