#pragma once

// Business items and a facade whose sharing answers come from the test, now or from another thread.

#include <QString>
#include <QTimeZone>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/core/support/TestBusinessFacade.h"
#include "frameworks/business/BasicItem.h"

// Runs `work` now, or on a thread of its own when `elsewhere` (as a framework may answer).
inline void answer(bool elsewhere, std::function<void()> work) {
    if (!elsewhere) return work();
    std::thread(std::move(work)).detach();
}

class FakeItem : public BasicItem, public Shareable {
public:
    FakeItem(QString name, std::optional<ShareInfo> info, bool directory) : name_(std::move(name)), info_(std::move(info)), directory_(directory) {}

    Record record() const override {
        Record r{name_, {}};
        if (!directory_ && name_.contains(u'.')) r.fileExtension = name_.section(u'.', -1);
        return r;
    }
    Metadata metadata() const override { return {QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC), 1234}; }
    BasicItemType itemType() const override { return directory_ ? BasicItemType::directory : BasicItemType::file; }
    std::optional<ShareInfo> shareInfo() const override { return info_; }
    void share(const ShareSettings& s, std::function<void(BusinessResult<QUrl>)> done) override {
        settings.push_back(s);
        answer(elsewhere, [this, done] { done(urlResult); });
    }
    void removeShare(std::function<void(VoidResult)> done) override {
        answer(elsewhere, [this, done] { done(voidResult); });
    }
    void mailLink(const std::vector<Recipient>& to, const QString& message, std::function<void(VoidResult)> done) override {
        recipients = to;
        mailMessage = message;
        answer(elsewhere, [this, done] { done(voidResult); });
    }
    void updateShare(const ShareSettings& s, std::function<void(BusinessResult<ShareInfo>)> done) override {
        settings.push_back(s);
        if (holdUpdate) {
            heldUpdate = [this, done] { done(infoResult); };
            return;
        }
        answer(elsewhere, [this, done] { done(infoResult); });
    }

    bool elsewhere = false;
    bool holdUpdate = false;
    std::function<void()> heldUpdate;
    BusinessResult<QUrl> urlResult = QUrl(QStringLiteral("https://www.orvella.example/s/token"));
    VoidResult voidResult = Success{};
    BusinessResult<ShareInfo> infoResult = ShareInfo{};
    std::vector<ShareSettings> settings;
    std::vector<Recipient> recipients;
    QString mailMessage;

private:
    QString name_;
    std::optional<ShareInfo> info_;
    bool directory_;
};

class FakeFile final : public FakeItem, public File {
public:
    FakeFile(QString name, std::optional<ShareInfo> info) : FakeItem(std::move(name), std::move(info), false) {}
};
class FakeDirectory final : public FakeItem, public Directory {
public:
    FakeDirectory(QString name, std::optional<ShareInfo> info) : FakeItem(std::move(name), std::move(info), true) {}
};
// Neither shareable nor of a kind.
class PlainItem final : public BasicItem {
public:
    Record record() const override { return {QStringLiteral("plain"), {}}; }
    Metadata metadata() const override { return {}; }
};

inline ShareInfo infoAt(const QString& remotePath) {
    ShareInfo info;
    info.remotePath = remotePath;
    return info;
}

class SharingFacade : public TestBusinessFacade {
public:
    using TestBusinessFacade::TestBusinessFacade;
    using Items = std::vector<std::shared_ptr<BasicItem>>;

    void sharedItems(std::function<void(BusinessResult<Items>)> done) override {
        answer(elsewhere, [this, done] { done(items); });
    }
    std::shared_ptr<BasicItem> makeLocalItem(const QString& path, bool directory) const override {
        localRequests.push_back({path, directory});
        if (directory) return std::make_shared<FakeDirectory>(path.section(u'/', -1), std::nullopt);
        return std::make_shared<FakeFile>(path.section(u'/', -1), std::nullopt);
    }

    BusinessResult<Items> items = Items{};
    bool elsewhere = false;
    mutable std::vector<std::pair<QString, bool>> localRequests;
};

// Installs a sharing facade over its own settings suite for the life of the object.
class ScopedSharingFacade {
public:
    ScopedSharingFacade() {
        static int counter = 0;
        facade_ = std::make_shared<SharingFacade>(QStringLiteral("test.group.sharing.%1").arg(++counter));
        BusinessFacadeHolder::setFacadeForTesting(facade_);
    }
    ~ScopedSharingFacade() { BusinessFacadeHolder::setFacadeForTesting(nullptr); }
    SharingFacade& facade() const { return *facade_; }

private:
    std::shared_ptr<SharingFacade> facade_;
};
