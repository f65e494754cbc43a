#pragma once

// A signed-in user with nothing but an account id and a name; it never answers a quota request.

#include <QString>

#include <memory>
#include <utility>

#include "frameworks/business/BusinessFacade.h"

class FakeBusinessUser : public BusinessUser {
public:
    FakeBusinessUser(QString accountId, QString name) : accountId_(std::move(accountId)), name_(std::move(name)) {}

    QString name() const override { return name_; }
    QString accountId() const override { return accountId_; }
    std::optional<QString> mailAddress() const override { return std::nullopt; }
    std::optional<OVCryptoKey> cryptoKey() const override { return std::nullopt; }
    std::optional<OVFeatureSet> features() const override { return std::nullopt; }
    QString homePath() const override { return QStringLiteral("/users/") + name_; }
    std::shared_ptr<Cancelable> fetchQuota(std::function<void(BusinessResult<OVQuota>)>) const override {
        return nullptr;
    }

private:
    QString accountId_;
    QString name_;
};
