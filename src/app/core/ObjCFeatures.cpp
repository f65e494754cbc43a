#include "app/core/ObjCFeatures.h"

#include "frameworks/business/BusinessFacade.h"

ObjCFeatures::ObjCFeatures(std::shared_ptr<ObjCBackupFeature> backup,
                           std::shared_ptr<ObjCEncryptionFeature> encryption,
                           std::shared_ptr<ObjCSharingFeature> sharing, QObject* parent)
    : QObject(parent), backup_(std::move(backup)), encryption_(std::move(encryption)), sharing_(std::move(sharing)) {}

ObjCFeatures::ObjCFeatures(const OVFeatureSet& features, QObject* parent) : QObject(parent) {
    if (features.backupEnabled) backup_ = std::make_shared<ObjCBackupFeature>(*features.backupEnabled);
    if (features.encryptionEnabled)
        encryption_ = std::make_shared<ObjCEncryptionFeature>(*features.encryptionEnabled);
    if (features.sharing) {
        const OVFeatureSet::Sharing& s = *features.sharing;
        sharing_ = std::make_shared<ObjCSharingFeature>(s.isDirectorySharingEnabled, s.isFileSharingEnabled,
                                                        s.isShareEmailViaBackendFeatureAvailable);
    }
}

void ObjCFeatures::setBackup(std::shared_ptr<ObjCBackupFeature> value) {
    if (backup_ == value) return;
    backup_ = std::move(value);
    emit backupChanged();
}

void ObjCFeatures::setEncryption(std::shared_ptr<ObjCEncryptionFeature> value) {
    if (encryption_ == value) return;
    encryption_ = std::move(value);
    emit encryptionChanged();
}

void ObjCFeatures::setSharing(std::shared_ptr<ObjCSharingFeature> value) {
    if (sharing_ == value) return;
    sharing_ = std::move(value);
    emit sharingChanged();
}
