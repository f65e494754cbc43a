#pragma once

#include <QString>

// The executable's information value for a key when it is a string; the empty string when the key
// is missing or holds anything else.
QString infoPlistString(const QString& key);

// "<short version> (<build>) ": the short version, a blank, the build in parentheses, a blank.
QString applicationVersionString();

class ConfigurationProvider {
public:
    virtual ~ConfigurationProvider() = default;
    virtual QString appGroupIdentifier() const = 0;
    virtual QString appBundleIdentifier() const = 0;
    virtual QString applicationVersion() const = 0;
};

// The one provider of the process, made on first use and never released.
ConfigurationProvider& sharedConfigurationProvider();
