#include "app/selectivesync/PersistentStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The format this build writes; a file of a later format is not ours to touch.
constexpr int kModelVersion = 1;

constexpr const char* kColumns =
    "id, version, parent, cachedRelativePath, remoteIdentifier, syncState, initialSyncState, isCached, bookmarkData";

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS FileSystemNode ("
    " id INTEGER PRIMARY KEY,"
    " version INTEGER NOT NULL DEFAULT 1,"
    " parent INTEGER REFERENCES FileSystemNode(id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,"
    " cachedRelativePath TEXT,"
    " remoteIdentifier TEXT,"
    " syncState INTEGER NOT NULL DEFAULT -1,"
    " initialSyncState INTEGER NOT NULL DEFAULT -1,"
    " isCached INTEGER NOT NULL DEFAULT 0,"
    " bookmarkData BLOB);"
    "CREATE INDEX IF NOT EXISTS FileSystemNodeParent ON FileSystemNode(parent);"
    "CREATE INDEX IF NOT EXISTS FileSystemNodePath ON FileSystemNode(cachedRelativePath);";

ContextError sqliteError(sqlite3* db, const QString& what) {
    const int code = db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM;
    return ContextError{what + QStringLiteral(": ") +
                            (db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory")),
                        code == SQLITE_CORRUPT || code == SQLITE_NOTADB};
}

// The files SQLite keeps beside a store, each named after it.
const char* const kCompanionSuffixes[] = {"-journal", "-wal", "-shm"};

QString systemError(const QString& what, const QString& path) {
    return what + QStringLiteral(" ") + path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// The store holds the paths of the user's folders: its folder and files are the owner's alone,
// also when an earlier version or the umask left them wider. SQLite gives its journals the mode
// of the store's file, so a file created owner-only keeps them so.
std::optional<ContextError> restrictToOwner(const QString& storePath) {
    const QString folder = QFileInfo(storePath).absolutePath();
    if (!QDir().mkpath(folder))
        return ContextError{QStringLiteral("The folder %1 could not be created.").arg(folder)};
    if (::chmod(QFile::encodeName(folder).constData(), S_IRWXU) != 0)
        return ContextError{systemError(QStringLiteral("Cannot restrict access to"), folder)};
    const QByteArray file = QFile::encodeName(storePath);
    const int fd = ::open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return ContextError{systemError(QStringLiteral("Cannot open the store at"), storePath)};
    const bool restricted = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    ::close(fd);
    if (!restricted) return ContextError{systemError(QStringLiteral("Cannot restrict access to"), storePath)};
    for (const char* suffix : kCompanionSuffixes) ::chmod((file + suffix).constData(), S_IRUSR | S_IWUSR);
    return std::nullopt;
}

// One prepared statement, finalized with the object.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql) : db_(db) {
        const QByteArray utf8 = sql.toUtf8();
        ok_ = sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &statement_, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return ok_; }
    void bind(int index, std::int64_t value) { keep(sqlite3_bind_int64(statement_, index, value)); }
    void bind(int index, const std::optional<QString>& value) {
        if (!value) return keep(sqlite3_bind_null(statement_, index));
        const QByteArray utf8 = value->toUtf8();
        keep(sqlite3_bind_text(statement_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
    }
    void bind(int index, const std::optional<QByteArray>& value) {
        if (!value) return keep(sqlite3_bind_null(statement_, index));
        keep(sqlite3_bind_blob(statement_, index, value->constData(), int(value->size()), SQLITE_TRANSIENT));
    }
    void bind(int index, ObjectID id) {
        if (!id.isValid()) return keep(sqlite3_bind_null(statement_, index));
        bind(index, id.value());
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return ok_ ? sqlite3_step(statement_) : SQLITE_ERROR; }

    std::int64_t int64(int column) const { return sqlite3_column_int64(statement_, column); }
    std::optional<QString> text(int column) const {
        if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return QString::fromUtf8(data ? data : "", sqlite3_column_bytes(statement_, column));
    }
    std::optional<QByteArray> blob(int column) const {
        if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
        const auto* data = static_cast<const char*>(sqlite3_column_blob(statement_, column));
        return QByteArray(data, sqlite3_column_bytes(statement_, column));
    }

    StoredNodeRow row() const {
        StoredNodeRow row;
        row.id = ObjectID(int64(0));
        row.version = int64(1);
        row.values.parent = ObjectID(int64(2));
        row.values.cachedRelativePath = text(3);
        row.values.remoteIdentifier = text(4);
        row.values.syncState = std::int16_t(int64(5));
        row.values.initialSyncState = std::int16_t(int64(6));
        row.values.isCached = int64(7) != 0;
        row.values.bookmarkData = blob(8);
        return row;
    }

private:
    // An update names only the columns it changes; binding a value it does not use is no error.
    void keep(int rc) {
        if (rc != SQLITE_OK && rc != SQLITE_RANGE) ok_ = false;
    }
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
    bool ok_ = false;
};

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Runs the rest of a scope in a transaction, rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db), open_(exec(db, "BEGIN IMMEDIATE")) {}
    ~Transaction() {
        if (open_) exec(db_, "ROLLBACK");
    }
    bool isOpen() const { return open_; }
    bool commit() {
        if (!exec(db_, "COMMIT")) return false;
        open_ = false;
        return true;
    }

private:
    sqlite3* db_;
    bool open_;
};

}  // namespace

PersistentStore::PersistentStore(PersistentStoreDescription description) : description_(std::move(description)) {}

PersistentStore::~PersistentStore() { sqlite3_close(db_); }

std::optional<ContextError> PersistentStore::open() {
    std::lock_guard lock(mutex_);
    return openLocked();
}

bool PersistentStore::isOpen() const {
    std::lock_guard lock(mutex_);
    return db_ != nullptr;
}

std::optional<ContextError> PersistentStore::openLocked() {
    if (db_) return std::nullopt;
    QByteArray name = QByteArrayLiteral(":memory:");
    if (description_.path) {
        if (auto error = restrictToOwner(*description_.path)) return error;
        name = QFile::encodeName(*description_.path);
    }
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(name.constData(), &db, flags, nullptr) != SQLITE_OK) {
        const ContextError error = sqliteError(db, QStringLiteral("Cannot open the store at ") + QString::fromUtf8(name));
        sqlite3_close(db);
        return error;
    }
    sqlite3_busy_timeout(db, 2000);
    const auto fail = [&](const QString& what) {
        const ContextError error = sqliteError(db, what + QStringLiteral(" ") + QString::fromUtf8(name));
        sqlite3_close(db);
        return error;
    };
    if (!exec(db, "PRAGMA foreign_keys = ON")) return fail(QStringLiteral("Cannot set up the store at"));
    int version = 0;
    {
        Statement statement(db, QStringLiteral("PRAGMA user_version"));
        if (statement.step() != SQLITE_ROW) return fail(QStringLiteral("Cannot read the store at"));
        version = int(statement.int64(0));
    }
    if (version > kModelVersion) {
        sqlite3_close(db);
        return ContextError{QStringLiteral("The store at %1 was written by a newer version of the application.")
                                .arg(QString::fromUtf8(name))};
    }
    {
        // A store that opens can still hold broken pages; finding them now beats failing later
        // in the middle of a save. The store holds folders only, so the check is quick.
        Statement statement(db, QStringLiteral("PRAGMA quick_check(1)"));
        if (statement.step() != SQLITE_ROW) return fail(QStringLiteral("Cannot check the store at"));
        if (statement.text(0) != QStringLiteral("ok")) {
            const QString finding = statement.text(0).value_or(QString());
            sqlite3_close(db);
            return ContextError{QStringLiteral("The store at %1 is damaged: %2").arg(QString::fromUtf8(name), finding),
                                true};
        }
    }
    if (!exec(db, kSchema)) return fail(QStringLiteral("Cannot create the store at"));
    if (version < kModelVersion &&
        !exec(db, QStringLiteral("PRAGMA user_version = %1").arg(kModelVersion).toUtf8().constData()))
        return fail(QStringLiteral("Cannot create the store at"));
    {
        Statement statement(db, QStringLiteral("SELECT coalesce(max(id), 0) FROM FileSystemNode"));
        if (statement.step() != SQLITE_ROW) return fail(QStringLiteral("Cannot read the store at"));
        lastID_ = statement.int64(0);
    }
    db_ = db;
    return std::nullopt;
}

ContextResult<QString> PersistentStore::setAside() {
    std::lock_guard lock(mutex_);
    if (db_ || !description_.path) return ContextError{QStringLiteral("Only a store file that is not open can be set aside.")};
    const QString path = *description_.path;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString aside = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    // The journals go along under the matching names, and first: a hot journal belongs to its
    // file, and one left behind would be rolled into the new store.
    QStringList from, to;
    for (const char* suffix : kCompanionSuffixes) {
        from << path + QString::fromLatin1(suffix);
        to << aside + QString::fromLatin1(suffix);
    }
    from << path;
    to << aside;
    for (qsizetype i = 0; i < from.size(); ++i) {
        const bool isStore = i == from.size() - 1;
        if (::rename(QFile::encodeName(from[i]).constData(), QFile::encodeName(to[i]).constData()) != 0 &&
            (errno != ENOENT || isStore))
            return ContextError{systemError(QStringLiteral("Cannot set aside"), from[i])};
    }
    return aside;
}

ObjectID PersistentStore::newObjectID() {
    std::lock_guard lock(mutex_);
    return ObjectID(++lastID_);
}

std::uint64_t PersistentStore::generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

ContextResult<StoredNodeRows> PersistentStore::readLocked(const char* where, std::optional<std::int64_t> argument) {
    if (!db_) return ContextError{QStringLiteral("The store is not loaded.")};
    Statement statement(db_, QStringLiteral("SELECT %1 FROM FileSystemNode %2 ORDER BY id")
                                 .arg(QString::fromLatin1(kColumns), QString::fromLatin1(where)));
    if (argument) statement.bind(1, *argument);
    if (!statement.ok()) return sqliteError(db_, QStringLiteral("Cannot read the store"));
    StoredNodeRows result;
    result.generation = generation_;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) result.rows.push_back(statement.row());
    if (rc != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot read the store"));
    return result;
}

ContextResult<StoredNodeRows> PersistentStore::readAll() {
    std::lock_guard lock(mutex_);
    return readLocked("", std::nullopt);
}

ContextResult<std::optional<StoredNodeRow>> PersistentStore::readRow(ObjectID id) {
    std::lock_guard lock(mutex_);
    const auto read = readLocked("WHERE id = ?1", id.value());
    if (!read.isSuccess()) return read.error();
    if (read.value().rows.empty()) return std::optional<StoredNodeRow>();
    return std::optional<StoredNodeRow>(read.value().rows.front());
}

ContextResult<std::vector<StoredNodeRow>> PersistentStore::readChildren(ObjectID parent) {
    std::lock_guard lock(mutex_);
    const auto read = readLocked("WHERE parent = ?1", parent.value());
    if (!read.isSuccess()) return read.error();
    return read.value().rows;
}

ContextResult<NodeCommit> PersistentStore::commit(const std::vector<NodeChange>& unordered, bool writeOverOthers) {
    std::lock_guard lock(mutex_);
    if (!db_) return ContextError{QStringLiteral("The store is not loaded.")};
    std::vector<NodeChange> changes = unordered;
    std::stable_sort(changes.begin(), changes.end(),
                     [](const NodeChange& a, const NodeChange& b) { return a.kind < b.kind; });
    Transaction transaction(db_);
    if (!transaction.isOpen()) return sqliteError(db_, QStringLiteral("Cannot begin a save"));
    std::vector<ObjectID> written;
    std::set<ObjectID> removed;
    for (const NodeChange& change : changes) {
        const FileSystemNode::Values& v = change.values;
        switch (change.kind) {
        case NodeChange::Kind::insert: {
            Statement statement(db_, QStringLiteral("INSERT INTO FileSystemNode (%1) VALUES (?1, 1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
                                         .arg(QString::fromLatin1(kColumns)));
            statement.bind(1, change.id);
            statement.bind(2, v.parent);
            statement.bind(3, v.cachedRelativePath);
            statement.bind(4, v.remoteIdentifier);
            statement.bind(5, std::int64_t(v.syncState));
            statement.bind(6, std::int64_t(v.initialSyncState));
            statement.bind(7, std::int64_t(v.isCached));
            statement.bind(8, v.bookmarkData);
            if (statement.step() != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot insert a node"));
            written.push_back(change.id);
            break;
        }
        case NodeChange::Kind::update: {
            const FileSystemNode::Values& c = change.committed;
            QStringList sets{QStringLiteral("version = version + 1")};
            if (v.parent != c.parent) sets << QStringLiteral("parent = ?2");
            if (v.cachedRelativePath != c.cachedRelativePath) sets << QStringLiteral("cachedRelativePath = ?3");
            if (v.remoteIdentifier != c.remoteIdentifier) sets << QStringLiteral("remoteIdentifier = ?4");
            if (v.syncState != c.syncState) sets << QStringLiteral("syncState = ?5");
            if (v.initialSyncState != c.initialSyncState) sets << QStringLiteral("initialSyncState = ?6");
            if (v.isCached != c.isCached) sets << QStringLiteral("isCached = ?7");
            if (v.bookmarkData != c.bookmarkData) sets << QStringLiteral("bookmarkData = ?8");
            Statement statement(db_, QStringLiteral("UPDATE FileSystemNode SET %1 WHERE id = ?1%2")
                                         .arg(sets.join(QStringLiteral(", ")),
                                              writeOverOthers ? QString() : QStringLiteral(" AND version = ?9")));
            statement.bind(1, change.id);
            statement.bind(2, v.parent);
            statement.bind(3, v.cachedRelativePath);
            statement.bind(4, v.remoteIdentifier);
            statement.bind(5, std::int64_t(v.syncState));
            statement.bind(6, std::int64_t(v.initialSyncState));
            statement.bind(7, std::int64_t(v.isCached));
            statement.bind(8, v.bookmarkData);
            if (!writeOverOthers) statement.bind(9, change.version);
            if (statement.step() != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot update a node"));
            if (sqlite3_changes(db_) == 0) {
                const auto current = readLocked("WHERE id = ?1", change.id.value());
                const bool exists = current.isSuccess() && !current.value().rows.empty();
                return ContextError{
                    exists ? QStringLiteral("Node %1 was changed in the store since it was read.").arg(change.id.value())
                           : QStringLiteral("Node %1 is no longer in the store.").arg(change.id.value())};
            }
            written.push_back(change.id);
            break;
        }
        case NodeChange::Kind::remove: {
            Statement subtree(db_, QStringLiteral(
                                       "WITH RECURSIVE doomed(id) AS (SELECT ?1 UNION SELECT n.id FROM FileSystemNode n "
                                       "JOIN doomed d ON n.parent = d.id) SELECT id FROM doomed"));
            subtree.bind(1, change.id);
            int rc;
            while ((rc = subtree.step()) == SQLITE_ROW) removed.insert(ObjectID(subtree.int64(0)));
            if (rc != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot delete a node"));
            Statement statement(db_, QStringLiteral("DELETE FROM FileSystemNode WHERE id = ?1"));
            statement.bind(1, change.id);
            if (statement.step() != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot delete a node"));
            break;
        }
        }
    }
    NodeCommit result;
    for (const ObjectID id : written) {
        const auto read = readLocked("WHERE id = ?1", id.value());
        if (!read.isSuccess()) return read.error();
        if (!read.value().rows.empty()) result.rows.push_back(read.value().rows.front());
    }
    result.removed.assign(removed.begin(), removed.end());
    if (!transaction.commit()) return sqliteError(db_, QStringLiteral("Cannot save"));
    ++generation_;
    return result;
}

ContextResult<std::vector<ObjectID>> PersistentStore::batchDelete(const NodePredicate& predicate) {
    std::lock_guard lock(mutex_);
    const auto read = readLocked("", std::nullopt);
    if (!read.isSuccess()) return read.error();
    // The matching rows and, through the parent links, everything below them; a link loop
    // cannot keep the walk going.
    std::set<ObjectID> doomed;
    for (const StoredNodeRow& row : read.value().rows)
        if (predicate.evaluate(row.values)) doomed.insert(row.id);
    for (bool grew = true; grew;) {
        grew = false;
        for (const StoredNodeRow& row : read.value().rows)
            if (!doomed.contains(row.id) && row.values.parent.isValid() && doomed.contains(row.values.parent))
                grew = doomed.insert(row.id).second || grew;
    }
    if (doomed.empty()) return std::vector<ObjectID>();
    Transaction transaction(db_);
    if (!transaction.isOpen()) return sqliteError(db_, QStringLiteral("Cannot begin a batch delete"));
    for (const ObjectID id : doomed) {
        Statement statement(db_, QStringLiteral("DELETE FROM FileSystemNode WHERE id = ?1"));
        statement.bind(1, id);
        if (statement.step() != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot delete nodes"));
    }
    if (!transaction.commit()) return sqliteError(db_, QStringLiteral("Cannot delete nodes"));
    ++generation_;
    return std::vector<ObjectID>(doomed.begin(), doomed.end());
}
