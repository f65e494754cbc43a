#include "platform/pluginkit/ExtensionRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kInstalled = QStringLiteral("installed");
const QString kElections = QStringLiteral("elections");
const QString kUse = QStringLiteral("use");
const QString kIgnore = QStringLiteral("ignore");
// Long enough for a slow writer on a loaded machine, short enough that a wedged one is noticed.
constexpr int kLockTimeoutMs = 5000;

// An exclusive lock on the registry's folder. flock rather than a lock file: the kernel drops it
// when a writer dies, so no stale lock is ever left to judge.
class FolderLock {
public:
    explicit FolderLock(const QString& folder) {
        fd_ = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) return;
        for (int waited = 0; waited < kLockTimeoutMs; ++waited) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                locked_ = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool isLocked() const { return locked_; }

private:
    int fd_ = -1;
    bool locked_ = false;
};

}  // namespace

struct ExtensionRegistry::Contents {
    QStringList installed;
    QMap<QString, Election> elections;
};

ExtensionRegistry::ExtensionRegistry() : path_(defaultPath()) {}

ExtensionRegistry::ExtensionRegistry(QString filePath) : path_(std::move(filePath)) {}

QString ExtensionRegistry::defaultPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // XDG base directories ignore a relative value.
    if (config.isEmpty() || QDir::isRelativePath(config)) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Orvella/pluginkit/registry.json");
}

bool ExtensionRegistry::isValidIdentifier(const QString& identifier) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9._-]{1,255}$"));
    return pattern.match(identifier).hasMatch();
}

ExtensionRegistry::Contents ExtensionRegistry::read() const {
    Contents contents;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return contents;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    for (const QJsonValue& value : root.value(kInstalled).toArray()) {
        const QString id = value.toString();
        if (isValidIdentifier(id) && !contents.installed.contains(id)) contents.installed.append(id);
    }
    const QJsonObject elections = root.value(kElections).toObject();
    for (auto it = elections.begin(); it != elections.end(); ++it) {
        if (!isValidIdentifier(it.key())) continue;
        const QString value = it.value().toString();
        if (value == kUse) contents.elections.insert(it.key(), Election::use);
        else if (value == kIgnore) contents.elections.insert(it.key(), Election::ignore);
    }
    return contents;
}

ExtensionRegistry::State ExtensionRegistry::state(const QString& identifier) const {
    if (!isValidIdentifier(identifier)) return State::unknown;
    const Contents contents = read();
    const auto election = contents.elections.constFind(identifier);
    if (election != contents.elections.cend())
        return *election == Election::use ? State::enabled : State::ignored;
    return contents.installed.contains(identifier) ? State::enabled : State::unknown;
}

QStringList ExtensionRegistry::installed() const { return read().installed; }

bool ExtensionRegistry::modify(const QString& identifier, const std::function<void(Contents&)>& change) {
    if (!isValidIdentifier(identifier)) return false;
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder)) return false;

    // Read, change and replace under one lock, so that concurrent tools do not undo each other.
    const FolderLock lock(folder);
    if (!lock.isLocked()) return false;

    Contents contents = read();
    change(contents);

    QJsonArray installed;
    for (const QString& id : contents.installed) installed.append(id);
    QJsonObject elections;
    for (auto it = contents.elections.cbegin(); it != contents.elections.cend(); ++it)
        elections.insert(it.key(), *it == Election::use ? kUse : kIgnore);
    QJsonObject root;
    root.insert(kInstalled, installed);
    root.insert(kElections, elections);

    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    return file.commit();
}

bool ExtensionRegistry::setElection(const QString& identifier, Election election) {
    return modify(identifier, [&](Contents& contents) {
        contents.elections.insert(identifier, election);
        if (election == Election::use && !contents.installed.contains(identifier))
            contents.installed.append(identifier);
    });
}

bool ExtensionRegistry::install(const QString& identifier) {
    return modify(identifier, [&](Contents& contents) {
        if (!contents.installed.contains(identifier)) contents.installed.append(identifier);
    });
}

bool ExtensionRegistry::uninstall(const QString& identifier) {
    return modify(identifier, [&](Contents& contents) {
        contents.installed.removeAll(identifier);
        contents.elections.remove(identifier);
    });
}
