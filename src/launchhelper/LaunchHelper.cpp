#include "launchhelper/LaunchHelper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include "launchhelper/LaunchLock.h"
#include "launchhelper/RunningApplications.h"
#include "platform/foundation/MainQueue.h"

const QString LaunchHelper::mainExecutableName = QStringLiteral("Orvella");

LaunchHelper::LaunchHelper() : LaunchHelper(defaultEnvironment(QCoreApplication::applicationDirPath())) {}

LaunchHelper::Environment LaunchHelper::defaultEnvironment(const QString& helperDirectory) {
    Environment environment;
    environment.locateApplication = [helperDirectory](const QString&) -> std::optional<QString> {
        const QFileInfo executable(QDir(helperDirectory).filePath(mainExecutableName));
        // Canonical, because that is how the proc file system names a running executable.
        if (!executable.isFile() || !executable.isExecutable()) return std::nullopt;
        return executable.canonicalFilePath();
    };
    environment.acquireLock = [](const QString& bundleIdentifier) -> std::shared_ptr<void> {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (runtime.isEmpty()) return nullptr;
        return LaunchLock::acquire(QDir(runtime).filePath(bundleIdentifier + QStringLiteral(".launchhelper.lock")),
                                   lockTimeoutMs);
    };
    environment.isRunning = [](const QString& executablePath) { return RunningApplications::isRunning(executablePath); };
    environment.launch = [](const QString& executablePath) {
        // Returns once the program has been executed, so the next helper in line sees it running.
        QProcess process;
        process.setProgram(executablePath);
        process.setWorkingDirectory(QDir::homePath());
        process.setStandardInputFile(QProcess::nullDevice());
        return process.startDetached();
    };
    return environment;
}

bool LaunchHelper::isUsableIdentifier(const QString& bundleIdentifier) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]{0,199}$"));
    return pattern.match(bundleIdentifier).hasMatch();
}

LaunchHelper::Outcome LaunchHelper::launchMainApplication(const QString& bundleIdentifier) const {
    if (!isUsableIdentifier(bundleIdentifier)) return Outcome::noApplication;
    const std::optional<QString> executable =
        environment_.locateApplication ? environment_.locateApplication(bundleIdentifier) : std::nullopt;
    if (!executable) return Outcome::noApplication;

    // Without the lock in time we still go on: a second start is the lesser harm than none at log-in.
    const std::shared_ptr<void> lock = environment_.acquireLock ? environment_.acquireLock(bundleIdentifier) : nullptr;
    if (environment_.isRunning && environment_.isRunning(*executable)) return Outcome::alreadyRunning;
    if (!environment_.launch || !environment_.launch(*executable)) return Outcome::launchFailed;
    return Outcome::launched;
}

void LaunchHelper::launchMainApplicationAsync(const QString& bundleIdentifier,
                                              std::function<void(Outcome)> completion) const {
    QThread* thread = QThread::create([helper = *this, bundleIdentifier, completion = std::move(completion)] {
        const Outcome outcome = helper.launchMainApplication(bundleIdentifier);
        if (completion) MainQueue::async([completion, outcome] { completion(outcome); });
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

int LaunchHelper::exitCode(Outcome outcome) {
    switch (outcome) {
        case Outcome::launched:
        case Outcome::alreadyRunning: return 0;
        case Outcome::noApplication: return 1;
        case Outcome::launchFailed: return 2;
    }
    return 2;
}
