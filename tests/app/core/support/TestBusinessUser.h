#pragma once

// A framework user for tests: fixed account values, and quota requests that stay open until the
// test answers them (on any thread) or cancels them.

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "frameworks/business/BusinessFacade.h"

class TestBusinessUser : public BusinessUser {
public:
    // One quota request as the framework would hold it.
    class QuotaRequest : public Cancelable {
    public:
        explicit QuotaRequest(std::function<void(BusinessResult<OVQuota>)> completion)
            : completion_(std::move(completion)) {}
        void cancel() override {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
        }
        bool isCancelled() const override {
            std::lock_guard lock(mutex_);
            return cancelled_;
        }
        // Calls back unless cancelled or answered before; answers whether it called back.
        bool answer(BusinessResult<OVQuota> result) {
            std::function<void(BusinessResult<OVQuota>)> completion;
            {
                std::lock_guard lock(mutex_);
                if (cancelled_ || !completion_) return false;
                completion = std::move(completion_);
                completion_ = nullptr;
            }
            completion(std::move(result));
            return true;
        }

    private:
        mutable std::mutex mutex_;
        std::function<void(BusinessResult<OVQuota>)> completion_;
        bool cancelled_ = false;
    };

    explicit TestBusinessUser(QString accountId = QStringLiteral("acc-1"), QString name = QStringLiteral("anna"))
        : accountId_(std::move(accountId)), name_(std::move(name)) {}

    QString name() const override { return name_; }
    QString accountId() const override { return accountId_; }
    std::optional<QString> mailAddress() const override { return mail; }
    std::optional<OVCryptoKey> cryptoKey() const override { return key; }
    std::optional<OVFeatureSet> features() const override { return featureSet; }
    QString homePath() const override { return QStringLiteral("/users/") + name_; }
    // Accepts a key only with `keyPassword`, as the service checks the account's password.
    void importCryptoKey(const QString& text, const QString& password,
                         std::function<void(VoidResult)> completion) const override {
        if (password != keyPassword) return completion(BusinessError::make(BusinessError::Kind::generic));
        completion(Success{});
        (void)text;
    }
    std::shared_ptr<Cancelable> fetchQuota(std::function<void(BusinessResult<OVQuota>)> completion) const override {
        auto request = std::make_shared<QuotaRequest>(std::move(completion));
        requests.push_back(request);
        return request;
    }

    std::optional<QString> mail;
    QString keyPassword = QStringLiteral("pw");
    std::optional<OVCryptoKey> key;
    std::optional<OVFeatureSet> featureSet;
    // Every quota request in the order made (main thread only).
    mutable std::vector<std::shared_ptr<QuotaRequest>> requests;

private:
    QString accountId_;
    QString name_;
};
