#pragma once

// A page of the framework that can refresh what it shows, for example when the network is back.
class XViewControllerReloadable {
public:
    virtual ~XViewControllerReloadable() = default;
    virtual void reload() = 0;
};
