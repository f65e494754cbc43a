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
#include "service/TreeSnapshot.h"

namespace {

// Entries kept per user; a cursor older than the oldest one gets a reset.
constexpr std::size_t maxEntries = 16384;
// Paths per answer, so that a large change arrives in parts of bounded size.
constexpr qsizetype maxPathsPerAnswer = 20000;
// Snapshots are written once changes have paused that long, or have gone on this long.
constexpr int saveAfterQuietMs = 2000;
constexpr auto saveAtLeastEvery = std::chrono::seconds(30);
constexpr quint32 stateMagic = 0x4f564a31;  // "OVJ1"
const QString stateSuffix = QStringLiteral(".journal");

constexpr std::uint32_t folderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                                       IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                       IN_DONT_FOLLOW | IN_EXCL_UNLINK;

using Node = TreeSnapshot::Node;
using Snapshot = TreeSnapshot;
// Paths as UTF-8 in the snapshots: half the room of QString's UTF-16.
using Key = std::string;
Key keyOf(const QString& path) { return path.toStdString(); }
QString pathOf(const Key& key) { return QString::fromStdString(key); }

Node nodeOf(const struct stat& st) {
    Node node;
    node.type = S_ISREG(st.st_mode) ? Node::file : S_ISDIR(st.st_mode) ? Node::directory : Node::other;
    node.size = node.type == Node::file ? std::int64_t(st.st_size) : 0;
    node.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    node.inode = st.st_ino & ((std::uint64_t(1) << 62) - 1);
    return node;
}

std::optional<Node> statNode(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return nodeOf(st);
}

QString child(const QString& parent, const QString& name) { return parent.isEmpty() ? name : parent + u'/' + name; }

// The numbered changes of a user, oldest first. As strings of their own, the 16,384 paths kept
// cost a hundred bytes and more each; packed one after another in a deque of bytes they cost
// their text and 16, and the oldest still go a block at a time.
class ChangeLog {
public:
    std::size_t size() const { return ends_.size(); }
    quint64 sequence(std::size_t i) const { return ends_[i].sequence; }
    QString path(std::size_t i) const {
        const auto from = text_.begin() + std::ptrdiff_t((i ? ends_[i - 1].end : begin_) - begin_);
        return QString::fromStdString(std::string(from, text_.begin() + std::ptrdiff_t(ends_[i].end - begin_)));
    }
    // The first entry after that sequence.
    std::size_t after(quint64 sequence) const {
        return std::size_t(std::upper_bound(ends_.begin(), ends_.end(), sequence, [](quint64 s, const End& e) { return s < e.sequence; }) -
                           ends_.begin());
    }
    void append(quint64 sequence, const QString& path) {
        const QByteArray utf8 = path.toUtf8();
        text_.insert(text_.end(), utf8.begin(), utf8.end());
        ends_.push_back(End{sequence, begin_ + text_.size()});
    }
    void dropOldest() {
        text_.erase(text_.begin(), text_.begin() + std::ptrdiff_t(ends_.front().end - begin_));
        begin_ = ends_.front().end;
        ends_.pop_front();
    }
    void clear() { *this = ChangeLog(); }

private:
    struct End {
        quint64 sequence;
        quint64 end;  // of its path, counted in bytes from the first path ever appended
    };
    std::deque<End> ends_;
    std::deque<char> text_;
    quint64 begin_ = 0;  // where text_ starts, counted likewise
};

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
        ChangeLog entries;
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
    std::map<int, Listener> listeners;
    int nextListener = 1;

    bool start();
    void stop();
    void readLoop();
    void drain(bool discard);
    void handle(const inotify_event& event);
    User* user(const QString& name);
    void load(User& u);
    void rescan(User& u);
    void refresh(User& u, const QString& path, bool walk, bool gone = false);
    void walk(User& u, const QString& folder, Snapshot& into);
    void watch(User& u, const QString& folder);
    void unwatchBelow(User& u, const QString& folder);
    void eraseBelow(User& u, const QString& path);
    void journal(User& u, const QString& path);
    std::optional<QByteArray> serialized(User& u);
    QString stateFile(const User& u) const { return state + u'/' + u.name + stateSuffix; }
    void removeLeftoverTemporaries();
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
    if (lockFd >= 0) removeLeftoverTemporaries();
    usersWatch = ::inotify_add_watch(inotifyFd, QFile::encodeName(users).constData(),
                                     IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (usersWatch >= 0) watches[usersWatch] = Watch{};
    reader = std::thread([this] { readLoop(); });
    return true;
}

// A process killed while it wrote a snapshot leaves the temp file of that write behind. Only the
// holder of the lock writes snapshots, so once it is held no temp file of them is being written.
void ChangeJournal::Impl::removeLeftoverTemporaries() {
    const QStringList names = QDir(state).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const auto target = AtomicFile::targetOfTemporary(name);
        if (!target || !target->endsWith(stateSuffix) || AccountRules::userNameProblem(target->chopped(stateSuffix.size())))
            continue;
        const QByteArray path = QFile::encodeName(state + u'/' + name);
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::unlink(path.constData()) == 0)
            OVLOG_INFO(Log::Sync::remoteChangesListener(), QStringLiteral("Removed the change journal's leftover temp file %1").arg(name));
    }
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
    // What was removed or moved away is gone without a look: an item made there since comes with
    // an event of its own, later in the queue.
    refresh(*u, child(folder, name), event.mask & (IN_CREATE | IN_MOVED_TO), event.mask & (IN_DELETE | IN_MOVED_FROM));
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
            u.entries.append(seq, path);
        }
        in >> nodes;
        for (quint64 i = 0; i < nodes && in.status() == QDataStream::Ok; ++i) {
            QString path;
            qint64 size = 0, mtime = 0;
            quint64 inode = 0;
            quint8 type = 0;
            in >> path >> size >> mtime >> inode >> type;
            u.tree.set(keyOf(path), Node{size, mtime, inode, std::min<quint8>(type, Node::other)});
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
        u.used = u.tree.usedBytes();
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
    Snapshot::diff(u.tree, now, [&](const Key& path) { journal(u, pathOf(path)); });
    u.tree = std::move(now);
    u.used = u.tree.usedBytes();
    u.unsaved = true;
}

// Looks at one path again after an event named it; `walkFolder` when a folder arrived whole
// (made or moved in), so everything below it is new; `gone` when the event says it went.
void ChangeJournal::Impl::refresh(User& u, const QString& path, bool walkFolder, bool gone) {
    const auto now = gone ? std::nullopt : statNode(u.home + u'/' + path);
    const Key key = keyOf(path);
    const Node* old = u.tree.find(key);
    if (!now) {
        if (!old) return;
        eraseBelow(u, path);
        journal(u, path);
        return;
    }
    const bool wasFolder = old && old->type == Node::directory;
    if (now->type == Node::directory) {
        if (walkFolder || !wasFolder) {
            eraseBelow(u, path);
            u.tree.set(key, *now);
            watch(u, path);
            Snapshot below;
            walk(u, path, below);
            u.used += below.usedBytes();
            u.tree.merge(std::move(below));
        } else {
            u.tree.set(key, *now);
        }
        journal(u, path);
        return;
    }
    if (wasFolder) eraseBelow(u, path);
    const auto before = u.tree.set(key, *now);
    u.used += now->usedBytes() - (before ? before->usedBytes() : 0);
    journal(u, path);
}

void ChangeJournal::Impl::walk(User& u, const QString& folder, Snapshot& into) {
    const QString absolute = folder.isEmpty() ? u.home : u.home + u'/' + folder;
    DIR* dir = ::opendir(QFile::encodeName(absolute).constData());
    if (!dir) return;
    std::vector<Snapshot::Item> items;
    std::vector<QString> folders;
    while (const dirent* entry = ::readdir(dir)) {
        const char* raw = entry->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != QByteArray(raw) || TransferTemporary::isTemporaryName(name)) continue;
        // Beside the folder already open, rather than along the whole path again for each item.
        struct stat st {};
        if (::fstatat(::dirfd(dir), raw, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        const Node node = nodeOf(st);
        items.push_back(Snapshot::Item{keyOf(name), node});
        if (node.type == Node::directory) folders.push_back(child(folder, name));
    }
    ::closedir(dir);
    into.addFolder(keyOf(folder), std::move(items));
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
    const auto drop = [&](auto it) {
        ::inotify_rm_watch(inotifyFd, it->second);
        watches.erase(it->second);
        return u.watches.erase(it);
    };
    if (auto it = u.watches.find(folder); it != u.watches.end()) drop(it);
    // The folder and those below it are two ranges: "a b" sorts between "a" and "a/c".
    const QString below = folder.isEmpty() ? QString() : folder + u'/';
    for (auto it = u.watches.lower_bound(below); it != u.watches.end() && it->first.startsWith(below);) it = drop(it);
}

void ChangeJournal::Impl::eraseBelow(User& u, const QString& path) {
    unwatchBelow(u, path);
    u.used -= u.tree.eraseBelow(keyOf(path));
}

void ChangeJournal::Impl::journal(User& u, const QString& path) {
    u.entries.append(++u.sequence, path);
    while (u.entries.size() > maxEntries) {
        u.floor = u.entries.sequence(0);
        u.entries.dropOldest();
    }
    u.unsaved = true;
    changed.notify_all();
    for (const auto& [id, listener] : listeners) listener(u.name);
}

std::optional<QByteArray> ChangeJournal::Impl::serialized(User& u) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << stateMagic << u.generation << u.sequence << u.floor << quint64(u.entries.size());
    for (std::size_t i = 0; i < u.entries.size(); ++i) out << u.entries.sequence(i) << u.entries.path(i);
    out << quint64(u.tree.size());
    u.tree.forEach([&](const Key& path, const Node& node) {
        out << pathOf(path) << qint64(node.size) << qint64(node.mtimeNs) << quint64(node.inode) << quint8(node.type);
    });
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
        return ServiceChanges{current(), true, {}, {}};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    d_->changed.wait_until(lock, stop, deadline, [&] { return u->sequence > after || d_->broken; });
    if (d_->broken) return std::nullopt;
    ServiceChanges answer;
    answer.cursor = cursor;
    QSet<QString> paths;
    for (std::size_t i = u->entries.after(after); i < u->entries.size() && paths.size() < maxPathsPerAnswer; ++i) {
        paths.insert(u->entries.path(i));
        answer.cursor = u->generation + u':' + QString::number(u->entries.sequence(i));
    }
    answer.paths = QStringList(paths.begin(), paths.end());
    answer.paths.sort();
    answer.states.reserve(std::size_t(answer.paths.size()));
    for (const QString& path : std::as_const(answer.paths)) {
        const Node* node = path.isEmpty() ? nullptr : u->tree.find(keyOf(path));
        ServicePathState state;
        if (node) {
            state.kind = node->type == Node::file        ? ServicePathState::Kind::file
                         : node->type == Node::directory ? ServicePathState::Kind::folder
                                                         : ServicePathState::Kind::other;
            state.size = node->size;
            state.mtimeNs = node->mtimeNs;
            state.inode = node->inode;
        } else if (path.isEmpty()) {
            state.kind = ServicePathState::Kind::folder;
        }
        answer.states.push_back(state);
    }
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

int ChangeJournal::addListener(Listener listener) {
    std::lock_guard lock(d_->mutex);
    const int id = d_->nextListener++;
    d_->listeners.emplace(id, std::move(listener));
    return id;
}

void ChangeJournal::removeListener(int id) {
    std::lock_guard lock(d_->mutex);
    d_->listeners.erase(id);
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
