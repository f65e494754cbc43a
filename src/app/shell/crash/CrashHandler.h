#pragma once

#include <QString>

#include <vector>

// Writes a report when the process dies of a fatal signal: the signal, its code and address, the
// version and a backtrace, into a new file of the reports folder. The handler does only
// async-signal-safe work (everything it needs is prepared when it is installed), writes under a
// temporary name and renames the file when it is complete, then lets the signal take its course.
class CrashHandler {
public:
    // Complete reports end in this; a report being written ends in ".part".
    static constexpr const char* reportSuffix = ".ovcrash";

    // Installs the handler for the fatal signals; a second install replaces the first's folder and
    // version. False when the folder cannot be made.
    static bool install(const QString& reportsFolder, const QString& version);
    // Puts back the handlers that were there before.
    static void uninstall();
    static bool isInstalled();
    // The file the next crash writes.
    static QString reportPath();

    static const std::vector<int>& handledSignals();
    // "SIGSEGV" and so on; "SIG<n>" for other numbers.
    static QString signalName(int signal);
};
