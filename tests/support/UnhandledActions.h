#pragma once

#include <QString>
#include <QStringList>

#include "platform/appkit/Application.h"

// For a test that sends actions nobody handles on purpose: records them instead of failing.
class UnhandledActions {
public:
    UnhandledActions()
        : previous_(Application::shared().setUnhandledActionObserver([this](const QString& name) { names << name; })) {}
    ~UnhandledActions() { Application::shared().setUnhandledActionObserver(previous_); }
    UnhandledActions(const UnhandledActions&) = delete;
    UnhandledActions& operator=(const UnhandledActions&) = delete;

    QStringList names;

private:
    std::function<void(const QString&)> previous_;
};
