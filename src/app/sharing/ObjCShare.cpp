#include "app/sharing/ObjCShare.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

#include "app/sharing/ObjCMetadata.h"
#include "app/sharing/ObjCShareInfo.h"

std::shared_ptr<ObjCShare> ObjCShare::make(std::shared_ptr<BasicItem> item) {
    if (!item) return nullptr;
    auto* shareable = dynamic_cast<Shareable*>(item.get());
    if (!shareable) return nullptr;
    return std::shared_ptr<ObjCShare>(new ObjCShare(std::move(item), shareable));
}

ObjCShare::ObjCShare(std::shared_ptr<BasicItem> item, Shareable* shareable)
    : basicItem_(std::move(item)),
      shareable_(shareable),
      name_(basicItem_->record().name),
      metadata_(new ObjCMetadata(basicItem_->metadata(), this)),
      isDirectoryShare_(shareable->itemType() == BasicItemType::directory) {
    if (const auto info = shareable_->shareInfo()) {
        shareInfo_ = std::make_shared<ObjCShareInfo>(*info);
        imageChoice_ = iconChoice(shareInfo_->path(), *basicItem_);
        image_ = icon(*imageChoice_);
    }
}

ObjCShare::~ObjCShare() = default;

ObjCShare::IconChoice ObjCShare::iconChoice(const std::optional<QString>& localPath, const BasicItem& item) {
    if (localPath && QFileInfo::exists(*localPath)) return {IconSource::localFile, *localPath};
    if (dynamic_cast<const Directory*>(&item)) return {IconSource::folderType, {}};
    if (dynamic_cast<const File*>(&item)) {
        const QString extension = item.record().fileExtension;
        if (!extension.isEmpty()) {
            const QMimeType type =
                QMimeDatabase().mimeTypeForFile(QStringLiteral("item.") + extension, QMimeDatabase::MatchExtension);
            if (type.isValid() && !type.isDefault()) return {IconSource::fileNameExtensionType, type.name()};
        }
    }
    return {IconSource::genericData, {}};
}

QIcon ObjCShare::icon(const IconChoice& choice) {
    const QFileIconProvider provider;
    switch (choice.source) {
    case IconSource::localFile: return provider.icon(QFileInfo(choice.detail));
    case IconSource::folderType: return provider.icon(QAbstractFileIconProvider::Folder);
    case IconSource::fileNameExtensionType: {
        const QMimeType type = QMimeDatabase().mimeTypeForName(choice.detail);
        return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), provider.icon(QAbstractFileIconProvider::File)));
    }
    case IconSource::genericData: break;
    }
    return provider.icon(QAbstractFileIconProvider::File);
}

void ObjCShare::setShareInfo(std::shared_ptr<ObjCShareInfo> shareInfo) {
    if (shareInfo_ == shareInfo) return;
    shareInfo_ = std::move(shareInfo);
    emit shareInfoChanged();
}

void ObjCShare::setImage(const QIcon& image) {
    image_ = image;
    emit imageChanged();
}
