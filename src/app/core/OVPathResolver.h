#pragma once

#include <memory>

#include "app/core/PathResolver.h"

// The application's path resolver over the setting `syncRoot` and the business facade's current
// user. It keeps nothing: each answer reads both afresh. Safe from any thread.
class OVPathResolver : public PathResolver {
public:
    // The one instance the sync controller, the sidebar controller and the log-out clean-up share.
    static std::shared_ptr<OVPathResolver> shared();

    QString usersFolderName() const override;
    std::optional<QString> userHomeLocalPath() const override;
    QStringList localSystemPaths() const override;
    QStringList remoteSystemNames() const override;
};
