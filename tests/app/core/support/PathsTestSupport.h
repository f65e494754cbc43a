#pragma once

// A signed-in user with nothing but a name and an account id, and small file trees, for the path,
// marker and sidebar tests.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <initializer_list>
#include <memory>
#include <utility>

#include "frameworks/business/BusinessFacade.h"

class PathsTestUser : public BusinessUser {
public:
    PathsTestUser(QString accountId, QString name) : accountId_(std::move(accountId)), name_(std::move(name)) {}

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

// Makes items below `root`: a name with content is a file, one without (nullptr) a folder.
inline bool makeTree(const QString& root, std::initializer_list<std::pair<const char*, const char*>> items) {
    for (const auto& [name, content] : items) {
        const QString path = root + u'/' + QString::fromUtf8(name);
        if (!content) {
            if (!QDir().mkpath(path)) return false;
            continue;
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0) return false;
    }
    return true;
}
