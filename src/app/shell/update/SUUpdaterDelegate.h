#pragma once

#include <QString>

class SUUpdater;

// What the updater asks its owner.
class SUUpdaterDelegate {
public:
    virtual ~SUUpdaterDelegate() = default;
    // The feed to read, asked before every check.
    virtual QString feedURLStringForUpdater(const SUUpdater& updater) const = 0;
};
