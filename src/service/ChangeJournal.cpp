#include "service/ChangeJournal.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "frameworks/logger/FrameworkChannels.h"
#include "service/AccountRules.h"
#include "service/AtomicFile.h"
#include "service/TransferTemporary.h"

namespace {

// Entries kept per user; a cursor older than the oldest one gets a reset.
constexpr std::size_t maxEntries = 16384;
// Paths per answer, so that a large change arrives in parts of bounded size.
constexpr qsizetype maxPathsPerAnswer = 20000;
// Snapshots are written once changes have paused that long, or have gone on this long.
constexpr int saveAfterQuietMs = 2000;
constexpr auto saveAtLeastEvery = std::chrono::seconds(30);
constexpr quint32 stateMagic = 0x4f564a31;  // "OVJ1"

constexpr std::uint32_t folderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                                       IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                       IN_DONT_FOLLOW | IN_EXCL_UNLINK;

// One of these per item of every tree: kept small, the type shares a word with the inode.
struct Node {
    enum Type : std::uint8_t { file, directory, other };
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode : 62 = 0;
    std::uint64_t type : 2 = file;
    bool operator==(const Node&) const = default;
    std::int64_t usedBytes() const { return type == file ? size : 0; }
};

// Paths as UTF-8 in the snapshots: half the room of QString's UTF-16, and short ones need no
// allocation of their own.
using Key = std::string;
using Snapshot = std::map<Key, Node>;
Key keyOf(const QString& path) { return path.toStdString(); }
QString pathOf(const Key& key) { return QString::fromStdString(key); }

std::optional<Node> statNode(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    Node node;
    node.type = S_ISREG(st.st_mode) ? Node::file : S_ISDIR(st.st_mode) ? Node::directory : Node::other;
    node.size = node.type == Node::file ? std::int64_t(st.st_size) : 0;
    node.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    node.inode = st.st_ino & ((std::uint64_t(1) << 62) - 1);
    return node;
}

QString child(const QString& parent, const QString& name) { return parent.isEmpty() ? name : parent + u'/' + name; }
bool isSameOrBelow(const QString& path, const QString& top) {
    return top.isEmpty() || path == top || (path.startsWith(top) && path.size() > top.size() && path[top.size()] == u'/');
}

QString newGeneration() {
    return QString::number(QRandomGenerator::global()->generate64(), 36);
}

}  // namespace

struct ChangeJournal::Impl {
    struct User {
        QString name;
        QString home;
        QString generation;
        quint64 sequence = 0;
        quint64 floor = 0;  // entries after it are all kept
        std::deque<std::pair<quint64, QString>> entries;
        Snapshot tree;  // relative paths; the home itself is not listed
        std::map<QString, int> watches;  // watched folder (relative, "" the home) -> descriptor
        std::int64_t used = 0;
        bool lookAgain = false;  // the home went away or moved: walked again when asked for
        bool unsaved = false;
    };
    struct Watch {
        User* user = nullptr;  // none for the users folder
        QString folder;
    };

    explicit Impl(QString r) : root(std::move(r)), users(root + QStringLiteral("/users")), state(root + QStringLiteral("/journal")) {}

    const QString root;
    const QString users;
    const QString state;

    std::mutex mutex;
    std::condition_variable_any changed;
    int inotifyFd = -1;
    int stopFd = -1;
    bool started = false;
    int lockFd = -1;  // held by the one journal of the root whose snapshots are kept
    bool broken = false;
    bool paused = false;
    int usersWatch = -1;
    std::map<QString, std::unique_ptr<User>> byName;
    std::unordered_map<int, Watch> watches;
    std::chrono::steady_clock::time_point lastSave = std::chrono::steady_clock::now();
    std::thread reader;

    bool start();
    void stop();
    void readLoop();
    void drain(bool discard);
    void handle(const inotify_event& event);
    User* user(const QString& name);
    void load(User& u);
    void rescan(User& u);
    void refresh(User& u, const QString& path, bool walk);
    void walk(User& u, const QString& folder, Snapshot& into);
    void watch(User& u, const QString& folder);
    void unwatchBelow(User& u, const QString& folder);
    void eraseBelow(User& u, const QString& path);
    void journal(User& u, const QString& path);
    std::optional<QByteArray> serialized(User& u);
    QString stateFile(const User& u) const { return state + u'/' + u.name + QStringLiteral(".journal"); }
    void saveUnsaved(std::unique_lock<std::mutex>& lock);
};

bool ChangeJournal::Impl::start() {
    if (started) return !broken;
    started = true;
    inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (inotifyFd < 0 || stopFd < 0) {
        OVLOG_ERROR(Log::Sync::remoteChangesListener(), QStringLiteral("Cannot watch the users' trees: %1").arg(QString::fromUtf8(std::strerror(errno))));
        broken = true;
        return false;
    }
    QDir().mkpath(users);
    // Another process journaling the same root numbers its changes its own way: only one of them
    // keeps snapshots, and the other starts afresh each time, so no cursor is read against
    // numbers it was not given by.
    QDir().mkpath(state);
    lockFd = ::open(QFile::encodeName(state + QStringLiteral("/.lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd >= 0 && ::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd);
        lockFd = -1;
    }
    usersWatch = ::inotify_add_watch(inotifyFd, QFile::encodeName(users).constData(),
                                     IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (usersWatch >= 0) watches[usersWatch] = Watch{};
    reader = std::thread([this] { readLoop(); });
    return true;
}

void ChangeJournal::Impl::stop() {
    if (!reader.joinable()) return;
    const std::uint64_t one = 1;
    (void)!::write(stopFd, &one, sizeof one);
    reader.join();
}

void ChangeJournal::Impl::readLoop() {
    for (;;) {
        bool unsaved = false;
        {
            std::lock_guard lock(mutex);
            for (const auto& [name, u] : byName) unsaved = unsaved || u->unsaved;
        }
        pollfd fds[2] = {{inotifyFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, unsaved ? saveAfterQuietMs : -1);
        if (ready < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
        std::unique_lock lock(mutex);
        if (fds[0].revents && !paused) drain(false);
        if (ready == 0 || std::chrono::steady_clock::now() - lastSave > saveAtLeastEvery) saveUnsaved(lock);
        if (paused) {
            // The queue stays unread: wait for the end of the pause instead of spinning on it.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

void ChangeJournal::Impl::drain(bool discard) {
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(inotifyFd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (!discard) handle(*event);
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

void ChangeJournal::Impl::handle(const inotify_event& event) {
    if (event.mask & IN_Q_OVERFLOW) {
        OVLOG_WARNING(Log::Sync::remoteChangesListener(), QStringLiteral("Too many changes at once in the users' trees; walking them again"));
        for (auto& [name, u] : byName) rescan(*u);
        return;
    }
    const auto it = watches.find(event.wd);
    if (it == watches.end()) return;
    if (event.mask & IN_IGNORED) {
        if (it->second.user) {
            auto& own = it->second.user->watches;
            if (auto w = own.find(it->second.folder); w != own.end() && w->second == event.wd) own.erase(w);
        }
        watches.erase(it);
        return;
    }
    const QString name = event.len ? QFile::decodeName(event.name) : QString();
    User* u = it->second.user;
    if (!u) {
        // A home folder came, went or was renamed: its user is walked again when next asked for.
        if (auto known = byName.find(name); known != byName.end()) {
            known->second->lookAgain = true;
            journal(*known->second, QString());
        }
        return;
    }
    const QString folder = it->second.folder;
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        if (folder.isEmpty()) {
            u->lookAgain = true;
            journal(*u, QString());
        }
        return;
    }
    if (name.isEmpty() || TransferTemporary::isTemporaryName(name)) return;
    refresh(*u, child(folder, name), event.mask & (IN_CREATE | IN_MOVED_TO));
}

ChangeJournal::Impl::User* ChangeJournal::Impl::user(const QString& rawName) {
    const QString name = AccountRules::normalizedUserName(rawName);
    if (AccountRules::userNameProblem(name)) return nullptr;
    if (auto it = byName.find(name); it != byName.end()) {
        User& u = *it->second;
        // Moved away and back, or made anew: only a walk can tell what the tree holds now.
        if (u.lookAgain && QFileInfo::exists(u.home)) {
            u.lookAgain = false;
            rescan(u);
        }
        return &u;
    }
    auto made = std::make_unique<User>();
    made->name = name;
    made->home = users + u'/' + name;
    User& u = *made;
    byName.emplace(name, std::move(made));
    load(u);
    return &u;
}

// Takes the snapshot of the last stop and compares the tree with it, so that whatever changed
// while nothing watched is journaled like any change.
void ChangeJournal::Impl::load(User& u) {
    bool loaded = false;
    if (const auto bytes = lockFd >= 0 ? AtomicFile::read(stateFile(u)) : std::nullopt) {
        QDataStream in(*bytes);
        quint32 magic = 0;
        quint64 entries = 0, nodes = 0;
        in >> magic >> u.generation >> u.sequence >> u.floor >> entries;
        for (quint64 i = 0; i < entries && in.status() == QDataStream::Ok; ++i) {
            quint64 seq = 0;
            QString path;
            in >> seq >> path;
            u.entries.emplace_back(seq, path);
        }
        in >> nodes;
        for (quint64 i = 0; i < nodes && in.status() == QDataStream::Ok; ++i) {
            QString path;
            qint64 size = 0, mtime = 0;
            quint64 inode = 0;
            quint8 type = 0;
            in >> path >> size >> mtime >> inode >> type;
            u.tree.emplace(keyOf(path), Node{size, mtime, inode, type});
        }
        loaded = magic == stateMagic && in.status() == QDataStream::Ok && !u.generation.isEmpty() && u.floor <= u.sequence;
        if (!loaded) {
            OVLOG_WARNING(Log::Sync::remoteChangesListener(), QStringLiteral("The change journal of %1 is damaged; it starts anew").arg(u.name));
            u.entries.clear();
            u.tree.clear();
        }
    }
    if (!loaded) {
        u.generation = newGeneration();
        u.sequence = u.floor = 0;
        Snapshot now;
        if (statNode(u.home)) watch(u, QString());
        walk(u, QString(), now);
        u.tree = std::move(now);
        u.used = 0;
        for (const auto& [path, node] : u.tree) u.used += node.usedBytes();
        u.unsaved = true;
        return;
    }
    rescan(u);
}

// Walks the whole tree again and journals what differs from what was known; a folder that came
// or went stands for everything below it.
void ChangeJournal::Impl::rescan(User& u) {
    unwatchBelow(u, QString());
    Snapshot now;
    if (statNode(u.home)) watch(u, QString());
    walk(u, QString(), now);
    QString gone;  // the last folder found new or gone: its insides are not listed apart
    const auto note = [&](const Key& key, bool wholeFolder) {
        const QString path = pathOf(key);
        if (!gone.isNull() && isSameOrBelow(path, gone)) return;
        journal(u, path);
        if (wholeFolder) gone = path;
    };
    auto a = u.tree.begin();
    auto b = now.begin();
    while (a != u.tree.end() || b != now.end()) {
        if (b == now.end() || (a != u.tree.end() && a->first < b->first)) {
            note(a->first, a->second.type == Node::directory);
            ++a;
        } else if (a == u.tree.end() || b->first < a->first) {
            note(b->first, b->second.type == Node::directory);
            ++b;
        } else {
            if (!(a->second == b->second)) note(a->first, a->second.type != b->second.type);
            ++a;
            ++b;
        }
    }
    u.tree = std::move(now);
    u.used = 0;
    for (const auto& [path, node] : u.tree) u.used += node.usedBytes();
    u.unsaved = true;
}

// Looks at one path again after an event named it; `walkFolder` when a folder arrived whole
// (made or moved in), so everything below it is new.
void ChangeJournal::Impl::refresh(User& u, const QString& path, bool walkFolder) {
    const auto now = statNode(u.home + u'/' + path);
    const Key key = keyOf(path);
    const auto old = u.tree.find(key);
    if (!now) {
        if (old == u.tree.end()) return;
        eraseBelow(u, path);
        journal(u, path);
        return;
    }
    const bool wasFolder = old != u.tree.end() && old->second.type == Node::directory;
    if (now->type == Node::directory) {
        if (walkFolder || !wasFolder) {
            eraseBelow(u, path);
            u.tree[key] = *now;
            watch(u, path);
            Snapshot below;
            walk(u, path, below);
            for (auto& [p, node] : below) u.used += node.usedBytes();
            u.tree.merge(below);
        } else {
            old->second = *now;
        }
        journal(u, path);
        return;
    }
    if (wasFolder) eraseBelow(u, path);
    Node& node = u.tree[key];
    u.used += now->usedBytes() - node.usedBytes();
    node = *now;
    journal(u, path);
}

void ChangeJournal::Impl::walk(User& u, const QString& folder, Snapshot& into) {
    const QString absolute = folder.isEmpty() ? u.home : u.home + u'/' + folder;
    DIR* dir = ::opendir(QFile::encodeName(absolute).constData());
    if (!dir) return;
    std::vector<QString> folders;
    while (const dirent* entry = ::readdir(dir)) {
        const char* raw = entry->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != QByteArray(raw) || TransferTemporary::isTemporaryName(name)) continue;
        const QString path = child(folder, name);
        const auto node = statNode(u.home + u'/' + path);
        if (!node) continue;
        into[keyOf(path)] = *node;
        if (node->type == Node::directory) folders.push_back(path);
    }
    ::closedir(dir);
    for (const QString& path : folders) {
        watch(u, path);
        walk(u, path, into);
    }
}

void ChangeJournal::Impl::watch(User& u, const QString& folder) {
    const QString absolute = folder.isEmpty() ? u.home : u.home + u'/' + folder;
    const int wd = ::inotify_add_watch(inotifyFd, QFile::encodeName(absolute).constData(), folderEvents);
    if (wd < 0) {
        if (errno == ENOSPC || errno == ENOMEM) {
            // Without a watch changes there would go unseen: clients must look for themselves.
            OVLOG_ERROR(Log::Sync::remoteChangesListener(), QStringLiteral("Cannot watch \"%1\" (%2): the change journal stops")
                                                     .arg(absolute, QString::fromUtf8(std::strerror(errno))));
            broken = true;
            changed.notify_all();
        }
        return;
    }
    Watch& w = watches[wd];
    if (w.user && w.folder != folder) w.user->watches.erase(w.folder);
    w = Watch{&u, folder};
    u.watches[folder] = wd;
}

void ChangeJournal::Impl::unwatchBelow(User& u, const QString& folder) {
    for (auto it = u.watches.lower_bound(folder); it != u.watches.end() && isSameOrBelow(it->first, folder);) {
        ::inotify_rm_watch(inotifyFd, it->second);
        watches.erase(it->second);
        it = u.watches.erase(it);
    }
}

void ChangeJournal::Impl::eraseBelow(User& u, const QString& path) {
    unwatchBelow(u, path);
    const Key key = keyOf(path);
    if (auto it = u.tree.find(key); it != u.tree.end()) {
        u.used -= it->second.usedBytes();
        u.tree.erase(it);
    }
    const Key prefix = key + '/';
    for (auto it = u.tree.lower_bound(prefix); it != u.tree.end() && it->first.starts_with(prefix);) {
        u.used -= it->second.usedBytes();
        it = u.tree.erase(it);
    }
}

void ChangeJournal::Impl::journal(User& u, const QString& path) {
    u.entries.emplace_back(++u.sequence, path);
    while (u.entries.size() > maxEntries) {
        u.floor = u.entries.front().first;
        u.entries.pop_front();
    }
    u.unsaved = true;
    changed.notify_all();
}

std::optional<QByteArray> ChangeJournal::Impl::serialized(User& u) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << stateMagic << u.generation << u.sequence << u.floor << quint64(u.entries.size());
    for (const auto& [seq, path] : u.entries) out << seq << path;
    out << quint64(u.tree.size());
    for (const auto& [key, node] : u.tree)
        out << pathOf(key) << qint64(node.size) << qint64(node.mtimeNs) << quint64(node.inode) << quint8(node.type);
    if (out.status() != QDataStream::Ok) return std::nullopt;
    u.unsaved = false;
    return bytes;
}

// The files are written without the lock held: queries wait for the snapshot only, not the disk.
void ChangeJournal::Impl::saveUnsaved(std::unique_lock<std::mutex>& lock) {
    if (lockFd < 0) {
        for (auto& [name, u] : byName) u->unsaved = false;
        return;
    }
    std::vector<std::pair<QString, QByteArray>> files;
    for (auto& [name, u] : byName)
        if (u->unsaved)
            if (auto bytes = serialized(*u)) files.emplace_back(stateFile(*u), std::move(*bytes));
    lastSave = std::chrono::steady_clock::now();
    if (files.empty()) return;
    lock.unlock();
    // Never made with its parents: a root removed meanwhile must not come back for a journal.
    QDir().mkdir(state);
    QFile::setPermissions(state, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const auto& [path, bytes] : files) {
        QString error;
        if (!AtomicFile::write(path, bytes, 0600, &error))
            OVLOG_WARNING(Log::Sync::remoteChangesListener(), QStringLiteral("Cannot write the change journal: %1").arg(error));
    }
    lock.lock();
}

// ---------------------------------------------------------------------------------------------

std::shared_ptr<ChangeJournal> ChangeJournal::forRoot(const QString& root) {
    static std::mutex mutex;
    static std::map<QString, std::weak_ptr<ChangeJournal>> journals;
    const QString key = QDir::cleanPath(root);
    std::lock_guard lock(mutex);
    std::erase_if(journals, [](const auto& item) { return item.second.expired(); });
    if (auto existing = journals[key].lock()) return existing;
    auto made = std::make_shared<ChangeJournal>(key);
    journals[key] = made;
    return made;
}

ChangeJournal::ChangeJournal(QString root) : d_(std::make_unique<Impl>(std::move(root))) {}

ChangeJournal::~ChangeJournal() {
    d_->stop();
    save();
    if (d_->inotifyFd >= 0) ::close(d_->inotifyFd);
    if (d_->lockFd >= 0) ::close(d_->lockFd);
    if (d_->stopFd >= 0) ::close(d_->stopFd);
}

std::optional<ServiceChanges> ChangeJournal::changesSince(const QString& userName, const QString& cursor,
                                                          std::chrono::milliseconds timeout, std::stop_token stop) {
    std::unique_lock lock(d_->mutex);
    if (!d_->start()) return std::nullopt;
    // What the kernel holds happened before this call: it counts.
    if (!d_->paused) d_->drain(false);
    Impl::User* u = d_->user(userName);
    if (!u || d_->broken) return std::nullopt;
    const auto current = [&] { return u->generation + u':' + QString::number(u->sequence); };
    const QString generation = cursor.section(u':', 0, 0);
    bool numeric = false;
    const quint64 after = cursor.section(u':', 1).toULongLong(&numeric);
    if (generation != u->generation || !numeric || after < u->floor || after > u->sequence)
        return ServiceChanges{current(), true, {}};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    d_->changed.wait_until(lock, stop, deadline, [&] { return u->sequence > after || d_->broken; });
    if (d_->broken) return std::nullopt;
    ServiceChanges answer;
    answer.cursor = cursor;
    auto it = std::upper_bound(u->entries.begin(), u->entries.end(), after,
                               [](quint64 seq, const auto& entry) { return seq < entry.first; });
    QSet<QString> paths;
    for (; it != u->entries.end() && paths.size() < maxPathsPerAnswer; ++it) {
        paths.insert(it->second);
        answer.cursor = u->generation + u':' + QString::number(it->first);
    }
    answer.paths = QStringList(paths.begin(), paths.end());
    answer.paths.sort();
    return answer;
}

std::optional<std::int64_t> ChangeJournal::usedBytes(const QString& userName) {
    std::lock_guard lock(d_->mutex);
    if (!d_->start()) return std::nullopt;
    if (!d_->paused) d_->drain(false);
    Impl::User* u = d_->user(userName);
    if (!u || d_->broken) return std::nullopt;
    return u->used;
}

void ChangeJournal::save() {
    std::unique_lock lock(d_->mutex);
    d_->saveUnsaved(lock);
}

void ChangeJournal::pauseReading(bool paused) {
    std::lock_guard lock(d_->mutex);
    d_->paused = paused;
}

void ChangeJournal::rescanAsAfterOverflow() {
    std::lock_guard lock(d_->mutex);
    if (!d_->start()) return;
    d_->drain(true);
    for (auto& [name, u] : d_->byName) d_->rescan(*u);
}
