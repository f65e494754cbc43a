#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

#include "app/core/ObjCCryptoKey.h"

class BusinessUser;

// Who is signed in, copied from the framework's user for bindings.
class ObjCUser : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(QString accountId READ accountId CONSTANT)
    // Invalid QVariant when absent.
    Q_PROPERTY(QVariant mailAddress READ mailAddressValue NOTIFY mailAddressChanged)
    // nullptr when absent.
    Q_PROPERTY(ObjCCryptoKey* cryptoKey READ cryptoKeyObject NOTIFY cryptoKeyChanged)

public:
    ObjCUser(QString name, QString accountId, std::optional<QString> mailAddress,
             std::shared_ptr<ObjCCryptoKey> cryptoKey, QObject* parent = nullptr);
    explicit ObjCUser(const BusinessUser& user, QObject* parent = nullptr);

    const QString& name() const { return name_; }
    const QString& accountId() const { return accountId_; }
    const std::optional<QString>& mailAddress() const { return mailAddress_; }
    const std::shared_ptr<ObjCCryptoKey>& cryptoKey() const { return cryptoKey_; }
    void setMailAddress(std::optional<QString> value);
    void setCryptoKey(std::shared_ptr<ObjCCryptoKey> value);

    QVariant mailAddressValue() const { return mailAddress_ ? QVariant(*mailAddress_) : QVariant(); }
    ObjCCryptoKey* cryptoKeyObject() const { return cryptoKey_.get(); }

signals:
    void mailAddressChanged();
    void cryptoKeyChanged();

private:
    const QString name_;
    const QString accountId_;
    std::optional<QString> mailAddress_;
    std::shared_ptr<ObjCCryptoKey> cryptoKey_;
};
