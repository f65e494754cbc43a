#pragma once

#include <QString>

// The ports of this extension's app group: the application's two, and the suffix of its own.
namespace ExtensionPorts {
QString appGroupIdentifier();
QString registrationPortName();
QString badgeServerPortName();
// `length` characters drawn from the system random source out of a-z, A-Z and 0-9.
QString randomPortSuffix(int length);
}  // namespace ExtensionPorts
