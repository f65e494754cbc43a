#include "extension/ExtensionPorts.h"

#include <QRandomGenerator>

#include "app/common/ConfigurationProvider.h"
#include "protocol/MessagePortProtocol.h"

namespace ExtensionPorts {

QString appGroupIdentifier() { return sharedConfigurationProvider().appGroupIdentifier(); }
QString registrationPortName() { return MessagePortProtocol::registrationPortName(appGroupIdentifier()); }
QString badgeServerPortName() { return MessagePortProtocol::badgePortName(appGroupIdentifier()); }

QString randomPortSuffix(int length) {
    static const QLatin1String alphabet("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    QString suffix;
    suffix.reserve(length);
    for (int i = 0; i < length; ++i)
        suffix.append(alphabet.at(QRandomGenerator::system()->bounded(static_cast<int>(alphabet.size()))));
    return suffix;
}

}  // namespace ExtensionPorts
