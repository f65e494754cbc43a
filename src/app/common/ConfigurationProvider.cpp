#include "app/common/ConfigurationProvider.h"

#include "platform/foundation/Bundle.h"

QString infoPlistString(const QString& key) {
    const QVariant value = Bundle::main().object(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString applicationVersionString() {
    (void)sharedConfigurationProvider();
    return QStringLiteral("%1 (%2) %3")
        .arg(infoPlistString(QStringLiteral("CFBundleShortVersionString")),
             infoPlistString(QStringLiteral("CFBundleVersion")), QString());
}

namespace {
class OVConfigurationProvider final : public ConfigurationProvider {
public:
    QString appGroupIdentifier() const override { return infoPlistString(QStringLiteral("AppGroupIdentifier")); }
    QString appBundleIdentifier() const override { return infoPlistString(QStringLiteral("AppBundleIdentifier")); }
    QString applicationVersion() const override {
        return infoPlistString(QStringLiteral("CFBundleShortVersionString"));
    }
};
}  // namespace

ConfigurationProvider& sharedConfigurationProvider() {
    // A function-local static is initialized once, thread-safely, and never destroyed early.
    static OVConfigurationProvider* provider = new OVConfigurationProvider;
    return *provider;
}
