#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Starts the main application named by a bundle identifier, unless it already runs.
//
// The helper ships inside the application's package: the main application's executable sits in
// the helper's own folder. Helpers started together (a session restoring programs and the
// autostart entry, a double click) take turns on a per-identifier lock, so only the first of them
// starts the application.
class LaunchHelper {
public:
    enum class Outcome {
        launched,        // the main application was started
        alreadyRunning,  // it runs already: nothing started
        noApplication,   // the identifier names no application that could be found
        launchFailed,    // found but could not be started
    };

    // What the helper uses of the system; tests put fakes in.
    struct Environment {
        // The main application's executable for the identifier; none when it is not installed.
        std::function<std::optional<QString>(const QString& bundleIdentifier)> locateApplication;
        // Held while checking and starting; a null token when the lock was not had in time.
        std::function<std::shared_ptr<void>(const QString& bundleIdentifier)> acquireLock;
        std::function<bool(const QString& executablePath)> isRunning;
        // Starts the executable detached from the helper; answers whether it was started.
        std::function<bool(const QString& executablePath)> launch;
    };

    // The main application's executable name, beside the helper.
    static const QString mainExecutableName;
    // How long a helper waits for another one to finish its launch.
    static constexpr int lockTimeoutMs = 5000;

    // Works on the helper's folder in the installed layout.
    LaunchHelper();
    explicit LaunchHelper(Environment environment) : environment_(std::move(environment)) {}

    static Environment defaultEnvironment(const QString& helperDirectory);

    // Whether an identifier can name an application (and so a lock file): reverse-DNS characters only.
    static bool isUsableIdentifier(const QString& bundleIdentifier);

    // Blocks while another helper launches and while the application starts: never on the main thread.
    Outcome launchMainApplication(const QString& bundleIdentifier) const;
    // The same on a thread of its own; `completion` runs on the main queue.
    void launchMainApplicationAsync(const QString& bundleIdentifier, std::function<void(Outcome)> completion) const;

    // The helper's exit status for an outcome: 0 when the application runs afterwards.
    static int exitCode(Outcome outcome);

private:
    Environment environment_;
};
