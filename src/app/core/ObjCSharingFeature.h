#pragma once

#include <QObject>

// What the account may share, and whether the service mails share links itself.
class ObjCSharingFeature : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isDirectorySharingEnabled READ isDirectorySharingEnabled CONSTANT)
    Q_PROPERTY(bool isFileSharingEnabled READ isFileSharingEnabled CONSTANT)
    Q_PROPERTY(bool isShareEmailViaBackendFeatureAvailable READ isShareEmailViaBackendFeatureAvailable CONSTANT)

public:
    ObjCSharingFeature(bool isDirectorySharingEnabled, bool isFileSharingEnabled,
                       bool isShareEmailViaBackendFeatureAvailable, QObject* parent = nullptr)
        : QObject(parent),
          isDirectorySharingEnabled_(isDirectorySharingEnabled),
          isFileSharingEnabled_(isFileSharingEnabled),
          isShareEmailViaBackendFeatureAvailable_(isShareEmailViaBackendFeatureAvailable) {}

    bool isDirectorySharingEnabled() const { return isDirectorySharingEnabled_; }
    bool isFileSharingEnabled() const { return isFileSharingEnabled_; }
    bool isShareEmailViaBackendFeatureAvailable() const { return isShareEmailViaBackendFeatureAvailable_; }

private:
    const bool isDirectorySharingEnabled_;
    const bool isFileSharingEnabled_;
    const bool isShareEmailViaBackendFeatureAvailable_;
};
