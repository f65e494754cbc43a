#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

#include "app/sharing/ObjCMetadata.h"
#include "app/sharing/ObjCShareInfo.h"
#include "frameworks/business/BasicItem.h"

// One shared (or shareable) item for the share windows' bindings. Made once from a business item
// and replaced, not refreshed; only its link, image and link values are set later.
class ObjCShare : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(ObjCMetadata* metadata READ metadata CONSTANT)
    Q_PROPERTY(ObjCShareInfo* shareInfo READ shareInfo NOTIFY shareInfoChanged)
    Q_PROPERTY(QIcon image READ image WRITE setImage NOTIFY imageChanged)
    Q_PROPERTY(bool isDirectoryShare READ isDirectoryShare CONSTANT)

public:
    // Where an item's icon comes from, in the order tried.
    enum class IconSource { localFile, folderType, fileNameExtensionType, genericData };
    struct IconChoice {
        IconSource source;
        QString detail;  // the local path, or the MIME type of the extension
    };

    // None when there is no item or it is not both a BasicItem and Shareable.
    static std::shared_ptr<ObjCShare> make(std::shared_ptr<BasicItem> item);
    ~ObjCShare() override;

    // The icon rule: the local file when it exists, a folder, the type of the file-name extension,
    // else generic data.
    static IconChoice iconChoice(const std::optional<QString>& localPath, const BasicItem& item);
    static QIcon icon(const IconChoice& choice);

    QString name() const { return name_; }
    ObjCMetadata* metadata() const { return metadata_; }
    ObjCShareInfo* shareInfo() const { return shareInfo_.get(); }
    // The same object, for holders that must keep it alive while the share replaces it.
    const std::shared_ptr<ObjCShareInfo>& sharedShareInfo() const { return shareInfo_; }
    void setShareInfo(std::shared_ptr<ObjCShareInfo> shareInfo);
    QIcon image() const { return image_; }
    void setImage(const QIcon& image);
    bool isDirectoryShare() const { return isDirectoryShare_; }
    // The icon rule the image was chosen by; none without share info.
    std::optional<IconChoice> imageChoice() const { return imageChoice_; }

    // The handle the share controller's operations act on.
    const std::shared_ptr<BasicItem>& basicItem() const { return basicItem_; }
    Shareable& item() const { return *shareable_; }

signals:
    void shareInfoChanged();
    void imageChanged();

private:
    ObjCShare(std::shared_ptr<BasicItem> item, Shareable* shareable);

    std::shared_ptr<BasicItem> basicItem_;
    Shareable* shareable_;
    QString name_;
    ObjCMetadata* metadata_;
    std::shared_ptr<ObjCShareInfo> shareInfo_;
    QIcon image_;
    std::optional<IconChoice> imageChoice_;
    bool isDirectoryShare_;
};
