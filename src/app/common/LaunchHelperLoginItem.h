#pragma once

#include <QString>

// Starts the launch helper beside this executable at log-in, or stops doing so. The session's
// list of start-up programs shows the entry as the application, with its name and icon.
bool setLaunchHelperLoginItemEnabled(const QString& bundleIdentifier, bool enabled);
