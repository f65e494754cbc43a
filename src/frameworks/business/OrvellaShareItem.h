#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "frameworks/business/BasicItem.h"
#include "frameworks/business/OrvellaSession.h"
#include "service/ServiceShare.h"

struct OVAppConfig;

// What the sharing operations of one signed-in session need.
struct OrvellaShareContext {
    std::shared_ptr<const OrvellaSession> session;  // its queue runs the service calls
    // The web address that a link's token is appended to; empty when the brand has none.
    QUrl linkBase;
};

// An item of the user's remote tree that can be shared. The service work runs on the session's
// queue; completions are posted to the main thread.
class OrvellaShareItem : public BasicItem, public Shareable, public std::enable_shared_from_this<OrvellaShareItem> {
public:
    // A file or a folder item at `remotePath` (below the home folder, starting with "/").
    static std::shared_ptr<OrvellaShareItem> make(OrvellaShareContext context, QString remotePath, bool isDirectory,
                                                  Metadata metadata, std::optional<ShareInfo> shareInfo);

    // The web address links are made under: the origin of the brand's web end points plus "/s/".
    static QUrl linkBase(const OVAppConfig& configuration);
    static QUrl linkURL(const QUrl& base, const QString& token);
    // The service's link as callers see it; the remote path is "root" plus the percent-encoded path.
    static ShareInfo shareInfo(const ServiceShare& share, const QDateTime& now);
    static QString encodedRemotePath(const QString& remotePath);

    // Every shared item of the session's account; the completion runs on the main thread.
    static void sharedItems(OrvellaShareContext context,
                            std::function<void(BusinessResult<std::vector<std::shared_ptr<BasicItem>>>)> completion);
    // The item for a local file or folder inside `syncFolder`; none outside it, for links, for
    // something missing or of the other kind.
    static std::shared_ptr<OrvellaShareItem> makeLocal(OrvellaShareContext context, const QString& syncFolder,
                                                       const QString& localPath, bool isDirectory);

    const QString& remotePath() const { return remotePath_; }
    // The remote path as the service names items: a user path, without the leading "/".
    static QString userPathOf(const QString& remotePath);

    Record record() const override;
    Metadata metadata() const override { return metadata_; }
    BasicItemType itemType() const override { return isDirectory_ ? BasicItemType::directory : BasicItemType::file; }
    std::optional<ShareInfo> shareInfo() const override;
    void share(const ShareSettings& settings, std::function<void(BusinessResult<QUrl>)> completion) override;
    void removeShare(std::function<void(VoidResult)> completion) override;
    void mailLink(const std::vector<Recipient>& recipients, const QString& message,
                  std::function<void(VoidResult)> completion) override;
    void updateShare(const ShareSettings& settings, std::function<void(BusinessResult<ShareInfo>)> completion) override;

protected:
    OrvellaShareItem(OrvellaShareContext context, QString remotePath, bool isDirectory, Metadata metadata,
                     std::optional<ShareInfo> shareInfo);

private:
    void setShareInfo(std::optional<ShareInfo> info);

    OrvellaShareContext context_;
    QString remotePath_;
    bool isDirectory_;
    Metadata metadata_;
    mutable std::mutex mutex_;
    std::optional<ShareInfo> shareInfo_;
};
