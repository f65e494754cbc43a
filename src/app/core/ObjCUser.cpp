#include "app/core/ObjCUser.h"

#include "frameworks/business/BusinessFacade.h"

namespace {

std::shared_ptr<ObjCCryptoKey> makeCryptoKey(const std::optional<OVCryptoKey>& key) {
    if (!key) return nullptr;
    return std::make_shared<ObjCCryptoKey>(key->stringRepresentation, key->qrCodeImageData);
}

}  // namespace

ObjCUser::ObjCUser(QString name, QString accountId, std::optional<QString> mailAddress,
                   std::shared_ptr<ObjCCryptoKey> cryptoKey, QObject* parent)
    : QObject(parent),
      name_(std::move(name)),
      accountId_(std::move(accountId)),
      mailAddress_(std::move(mailAddress)),
      cryptoKey_(std::move(cryptoKey)) {}

ObjCUser::ObjCUser(const BusinessUser& user, QObject* parent)
    : ObjCUser(user.name(), user.accountId(), user.mailAddress(), makeCryptoKey(user.cryptoKey()), parent) {}

void ObjCUser::setMailAddress(std::optional<QString> value) {
    if (mailAddress_ == value) return;
    mailAddress_ = std::move(value);
    emit mailAddressChanged();
}

void ObjCUser::setCryptoKey(std::shared_ptr<ObjCCryptoKey> value) {
    if (cryptoKey_ == value) return;
    cryptoKey_ = std::move(value);
    emit cryptoKeyChanged();
}
