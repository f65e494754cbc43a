#pragma once

#include "frameworks/logger/LogChannel.h"

// The application's own log channels, shared by all three executables. Each is created on first
// use with its initial verbosity; `setVerbosities()` brings them and the frameworks' channels to the
// values the application runs with.
namespace AppLog {

Log::Channel& backupRestore();         // "Backup & Restore"
Log::Channel& flow();                  // "Flow"
Log::Channel& framework();             // "Framework"
Log::Channel& frameworkSync();         // "FrameworkSync"
Log::Channel& gui();                   // "GUI"
Log::Channel& setup();                 // "Setup"
Log::Channel& tracking();              // "Tracking"
Log::Channel& autoImport();            // "AutoImport"
Log::Channel& fsEvents();              // "FSEvents"
Log::Channel& finderSidebar();         // "FinderSidebar"
Log::Channel& selectiveSyncBrowser();  // "SelectiveSyncBrowser"
Log::Channel& notification();          // "Notification"
Log::Channel& syncStatus();            // "Sync status"
Log::Channel& appLifeCycle();          // "App life cycle"
Log::Channel& finderSync();            // "FinderSync"

// Called once at launch, on the main thread, right after the file logger is set up.
void setVerbosities();

}  // namespace AppLog
