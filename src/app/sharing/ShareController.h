#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "app/core/AppError.h"
#include "frameworks/business/ShareTypes.h"

class BasicItem;
class BusinessFacade;
class ObjCShare;

struct OVShareControllerDependencyProvider {
    BusinessFacade* businessFacade = nullptr;
};

// Turns share-link work into calls on the business framework and its answers into share models
// and AppErrors. Keeps no list: any number of controllers may exist side by side.
//
// Operations start on the main thread; every completion runs once, on the main thread (answers
// that arrive elsewhere are moved there first).
class ShareController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isUpdatingAdvancedOptions READ isUpdatingAdvancedOptions NOTIFY isUpdatingAdvancedOptionsChanged)

public:
    using Shares = std::vector<std::shared_ptr<ObjCShare>>;
    using UpdateResult = std::variant<ShareInfo, AppError>;
    // The share of one item: the share when found, nothing when the item has none, the error when
    // the lookup failed (so that a failure never reads as "make a new link").
    struct Lookup {
        std::shared_ptr<ObjCShare> share;
        std::optional<AppError> error;
        bool isNotFound() const { return !share && !error; }
    };

    // Uses the process-wide facade of the facade holder.
    explicit ShareController(QObject* parent = nullptr);
    ShareController(OVShareControllerDependencyProvider dependencyProvider, QObject* parent = nullptr);

    const OVShareControllerDependencyProvider& dependencyProvider() const { return dependencyProvider_; }
    bool isUpdatingAdvancedOptions() const { return isUpdatingAdvancedOptions_; }

    // Every shared item, in the facade's order; none, with the error, when the facade fails (logged).
    void sharedItems(std::function<void(std::optional<Shares>, std::optional<AppError>)> completion);
    // The share of the item at this local path of the sync folder. A path outside the sync folder
    // and a facade failure are failures, never "not found".
    void sharedItem(const QString& localPath, std::function<void(Lookup)> completion);
    // The item's link, made when it has none.
    void shareLink(const std::shared_ptr<ObjCShare>& share,
                   std::function<void(std::optional<QUrl>, std::optional<AppError>)> completion);
    // Download limits apply to files only, write access to folders only: the other is not passed.
    void updateShare(const std::shared_ptr<ObjCShare>& share, std::optional<std::int64_t> maxDownloads,
                     std::optional<QString> password, std::optional<bool> writable, std::optional<double> ttl,
                     std::function<void(UpdateResult)> completion);
    void removeShare(const std::shared_ptr<ObjCShare>& share, std::function<void(std::optional<AppError>)> completion);
    // An empty password removes it.
    void setPassword(const QString& password, const std::shared_ptr<ObjCShare>& share,
                     std::function<void(std::optional<AppError>)> completion);
    void sendShareLink(const std::shared_ptr<ObjCShare>& share, const QStringList& addresses, const QString& message,
                       std::function<void(std::optional<AppError>)> completion);
    // A shareable item for a local file or folder of the sync folder; none for anything else.
    std::shared_ptr<ObjCShare> makeShare(const QString& localPath) const;

    // The first item whose name and local path match the local path's; none when nothing does.
    // `relativePath` is the path's place in the sync folder (see pathRelativeToSyncFolder).
    static std::shared_ptr<ObjCShare> matchingShare(const std::vector<std::shared_ptr<BasicItem>>& items,
                                                    const QString& localPath, const QString& relativePath);

signals:
    void isUpdatingAdvancedOptionsChanged();

private:
    void setIsUpdatingAdvancedOptions(bool value);

    OVShareControllerDependencyProvider dependencyProvider_;
    bool isUpdatingAdvancedOptions_ = false;
};
