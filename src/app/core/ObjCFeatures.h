#pragma once

#include <QObject>

#include <memory>

#include "app/core/ObjCBackupFeature.h"
#include "app/core/ObjCEncryptionFeature.h"
#include "app/core/ObjCSharingFeature.h"

struct OVFeatureSet;

// The account's features for bindings; a member is absent when the service left that part out.
class ObjCFeatures : public QObject {
    Q_OBJECT
    // nullptr when absent.
    Q_PROPERTY(ObjCBackupFeature* backup READ backupObject NOTIFY backupChanged)
    Q_PROPERTY(ObjCEncryptionFeature* encryption READ encryptionObject NOTIFY encryptionChanged)
    Q_PROPERTY(ObjCSharingFeature* sharing READ sharingObject NOTIFY sharingChanged)

public:
    ObjCFeatures(std::shared_ptr<ObjCBackupFeature> backup, std::shared_ptr<ObjCEncryptionFeature> encryption,
                 std::shared_ptr<ObjCSharingFeature> sharing, QObject* parent = nullptr);
    explicit ObjCFeatures(const OVFeatureSet& features, QObject* parent = nullptr);

    const std::shared_ptr<ObjCBackupFeature>& backup() const { return backup_; }
    const std::shared_ptr<ObjCEncryptionFeature>& encryption() const { return encryption_; }
    const std::shared_ptr<ObjCSharingFeature>& sharing() const { return sharing_; }
    void setBackup(std::shared_ptr<ObjCBackupFeature> value);
    void setEncryption(std::shared_ptr<ObjCEncryptionFeature> value);
    void setSharing(std::shared_ptr<ObjCSharingFeature> value);

    ObjCBackupFeature* backupObject() const { return backup_.get(); }
    ObjCEncryptionFeature* encryptionObject() const { return encryption_.get(); }
    ObjCSharingFeature* sharingObject() const { return sharing_.get(); }

signals:
    void backupChanged();
    void encryptionChanged();
    void sharingChanged();

private:
    std::shared_ptr<ObjCBackupFeature> backup_;
    std::shared_ptr<ObjCEncryptionFeature> encryption_;
    std::shared_ptr<ObjCSharingFeature> sharing_;
};
