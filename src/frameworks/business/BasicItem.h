#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "frameworks/business/BusinessError.h"
#include "frameworks/business/ShareTypes.h"

// An item of the user's remote tree. Items are values taken when they were handed out; kinds are
// told apart by the interfaces an item also implements (`Directory`, `File`, `Shareable`).
class BasicItem {
public:
    struct Record {
        QString name;
        // The file-name extension of a file item; empty for folders and names without one.
        QString fileExtension;
    };
    struct Metadata {
        QDateTime modificationDate;
        std::int64_t size = 0;  // bytes
    };

    virtual ~BasicItem() = default;
    virtual Record record() const = 0;
    virtual Metadata metadata() const = 0;
};

// Kind markers.
class Directory {
public:
    virtual ~Directory() = default;
};
class File {
public:
    virtual ~File() = default;
};

enum class BasicItemType { file, directory };

// An item that can have a share link. Every completion runs once, on the main thread.
class Shareable {
public:
    virtual ~Shareable() = default;
    virtual BasicItemType itemType() const = 0;
    // The link as last known to this item; none when it has none.
    virtual std::optional<ShareInfo> shareInfo() const = 0;
    // Makes the link, or finds the existing one; answers its URL. Fails with the API error not
    // found when the online storage does not hold the item (it has not been synced).
    virtual void share(const ShareSettings& settings, std::function<void(BusinessResult<QUrl>)> completion) = 0;
    virtual void removeShare(std::function<void(VoidResult)> completion) = 0;
    // Sends the link with the message to the recipients.
    virtual void mailLink(const std::vector<Recipient>& recipients, const QString& message,
                          std::function<void(VoidResult)> completion) = 0;
    virtual void updateShare(const ShareSettings& settings, std::function<void(BusinessResult<ShareInfo>)> completion) = 0;
};
