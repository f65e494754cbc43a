#include "app/selectivesync/PersistentStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <set>
#include <sys/stat.h>

#include "frameworks/sync/SqliteFiles.h"

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

QString systemError(const QString& what, const QString& path) {
    return what + QStringLiteral(" ") + path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// The store holds the paths of the user's folders: its folder and files are the owner's alone,
// also when an earlier version or the umask left them wider.
std::optional<ContextError> restrictToOwner(const QString& storePath) {
    const QString folder = QFileInfo(storePath).absolutePath();
    if (!QDir().mkpath(folder))
        return ContextError{QStringLiteral("The folder %1 could not be created.").arg(folder)};
    if (::chmod(QFile::encodeName(folder).constData(), S_IRWXU) != 0)
        return ContextError{systemError(QStringLiteral("Cannot restrict access to"), folder)};
    if (auto problem = SqliteFiles::restrictToOwner(storePath)) return ContextError{*problem};
    return std::nullopt;
}

// One prepared statement: made for the object and finalized with it, or borrowed from the store's
// kept statements and reset when done, so that it holds no read open and no value of this use.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql) : owned_(true) {
        const QByteArray utf8 = sql.toUtf8();
        ok_ = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &statement_, nullptr) == SQLITE_OK;
    }
    explicit Statement(sqlite3_stmt* kept) : statement_(kept), ok_(kept != nullptr), owned_(false) {}
    ~Statement() {
        if (owned_) {
            sqlite3_finalize(statement_);
        } else if (statement_) {
            sqlite3_reset(statement_);
            sqlite3_clear_bindings(statement_);
        }
    }
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
    void keep(int rc) {
        if (rc != SQLITE_OK) ok_ = false;
    }
    sqlite3_stmt* statement_ = nullptr;
    bool ok_ = false;
    bool owned_;
};

// The columns an update may write, in the order of their bits in an update's column set and of
// their parameters (?2 ...) in the statements.
constexpr const char* kUpdatable[] = {"parent", "cachedRelativePath", "remoteIdentifier", "syncState",
                                      "initialSyncState", "isCached", "bookmarkData"};

unsigned changedColumns(const FileSystemNode::Values& v, const FileSystemNode::Values& c) {
    return (v.parent != c.parent ? 1u : 0u) | (v.cachedRelativePath != c.cachedRelativePath ? 2u : 0u) |
           (v.remoteIdentifier != c.remoteIdentifier ? 4u : 0u) | (v.syncState != c.syncState ? 8u : 0u) |
           (v.initialSyncState != c.initialSyncState ? 16u : 0u) | (v.isCached != c.isCached ? 32u : 0u) |
           (v.bookmarkData != c.bookmarkData ? 64u : 0u);
}

// Binds the values of the columns in `columns` to their parameters, ?2 to ?8.
void bindValues(Statement& statement, const FileSystemNode::Values& v, unsigned columns) {
    if (columns & 1u) statement.bind(2, v.parent);
    if (columns & 2u) statement.bind(3, v.cachedRelativePath);
    if (columns & 4u) statement.bind(4, v.remoteIdentifier);
    if (columns & 8u) statement.bind(5, std::int64_t(v.syncState));
    if (columns & 16u) statement.bind(6, std::int64_t(v.initialSyncState));
    if (columns & 32u) statement.bind(7, std::int64_t(v.isCached));
    if (columns & 64u) statement.bind(8, v.bookmarkData);
}

constexpr unsigned kAllColumns = 127u;

bool exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Runs the rest of a scope in a transaction, rolled back unless committed. A read of many
// statements takes the file's lock once in a deferred one instead of once per statement.
class Transaction {
public:
    enum class Kind { write, read };
    explicit Transaction(sqlite3* db, Kind kind = Kind::write)
        : db_(db), open_(exec(db, kind == Kind::write ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED")) {}
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

PersistentStore::~PersistentStore() {
    for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
    for (sqlite3_stmt* statement : updates_) sqlite3_finalize(statement);
    sqlite3_close(db_);
}

sqlite3_stmt* PersistentStore::prepared(const QByteArray& sql) {
    if (sqlite3_stmt* kept = statements_.value(sql)) return kept;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    statements_.insert(sql, statement);
    return statement;
}

bool PersistentStore::updateRow(ObjectID id, const FileSystemNode::Values& values, unsigned columns,
                                std::optional<std::int64_t> version) {
    Statement statement(preparedUpdate(columns, version.has_value()));
    statement.bind(1, id);
    bindValues(statement, values, columns);
    if (version) statement.bind(9, *version);
    return statement.step() == SQLITE_DONE && statement.ok();
}

sqlite3_stmt* PersistentStore::preparedUpdate(unsigned columns, bool guarded) {
    sqlite3_stmt*& kept = updates_[(columns & kAllColumns) | (guarded ? 128u : 0u)];
    if (kept) return kept;
    QByteArray sql = "UPDATE FileSystemNode SET version = version + 1";
    for (unsigned column = 0; column < std::size(kUpdatable); ++column)
        if (columns & (1u << column)) sql += ", " + QByteArray(kUpdatable[column]) + " = ?" + QByteArray::number(column + 2);
    sql += " WHERE id = ?1";
    if (guarded) sql += " AND version = ?9";
    if (sqlite3_prepare_v3(db_, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &kept, nullptr) != SQLITE_OK) {
        sqlite3_finalize(kept);
        kept = nullptr;
    }
    return kept;
}

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
    for (const char* suffix : SqliteFiles::companionSuffixes) {
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
    Statement statement(prepared(QByteArray("SELECT ") + kColumns + " FROM FileSystemNode " + where + " ORDER BY id"));
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

ContextResult<StoredNodeRows> PersistentStore::readInsertedSince(std::uint64_t since) {
    std::lock_guard lock(mutex_);
    std::optional<std::int64_t> lowest;
    for (auto it = insertions_.rbegin(); it != insertions_.rend() && it->first > since; ++it)
        lowest = std::min(lowest.value_or(it->second), it->second);
    if (!lowest) {
        if (!db_) return ContextError{QStringLiteral("The store is not loaded.")};
        return StoredNodeRows{{}, generation_};
    }
    return readLocked("WHERE id >= ?1", *lowest);
}

ContextResult<StoredNodeRows> PersistentStore::readWithPaths(const std::vector<QString>& paths) {
    std::lock_guard lock(mutex_);
    if (!db_) return ContextError{QStringLiteral("The store is not loaded.")};
    sqlite3_stmt* byPath =
        prepared(QByteArray("SELECT ") + kColumns + " FROM FileSystemNode WHERE cachedRelativePath = ?1 ORDER BY id");
    Transaction transaction(db_, Transaction::Kind::read);
    if (!transaction.isOpen()) return sqliteError(db_, QStringLiteral("Cannot read the store"));
    StoredNodeRows result;
    result.generation = generation_;
    for (const QString& path : paths) {
        Statement statement(byPath);
        statement.bind(1, std::optional<QString>(path));
        if (!statement.ok()) return sqliteError(db_, QStringLiteral("Cannot read the store"));
        int rc;
        while ((rc = statement.step()) == SQLITE_ROW) result.rows.push_back(statement.row());
        if (rc != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot read the store"));
    }
    transaction.commit();
    return result;
}

ContextResult<NodeCommit> PersistentStore::commit(const std::vector<NodeChange>& changes, bool writeOverOthers) {
    std::lock_guard lock(mutex_);
    if (!db_) return ContextError{QStringLiteral("The store is not loaded.")};
    std::vector<std::size_t> order(changes.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return changes[a].kind < changes[b].kind; });
    Transaction transaction(db_);
    if (!transaction.isOpen()) return sqliteError(db_, QStringLiteral("Cannot begin a save"));
    NodeCommit result;
    std::set<ObjectID> removed;
    std::optional<std::int64_t> lowestInserted;
    for (const std::size_t index : order) {
        const NodeChange& change = changes[index];
        const FileSystemNode::Values& v = *change.values;
        switch (change.kind) {
        case NodeChange::Kind::insert: {
            Statement statement(prepared(QByteArray("INSERT INTO FileSystemNode (") + kColumns +
                                         ") VALUES (?1, 1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"));
            statement.bind(1, change.id);
            bindValues(statement, v, kAllColumns);
            if (statement.step() != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot insert a node"));
            result.written.push_back(WrittenNode{index, 1, std::nullopt});
            lowestInserted = std::min(lowestInserted.value_or(change.id.value()), change.id.value());
            break;
        }
        case NodeChange::Kind::update: {
            const unsigned columns = changedColumns(v, *change.committed);
            // Guarded by the version read: when that is still the row's, the row now holds
            // exactly the context's values, and nothing needs reading back.
            if (!updateRow(change.id, v, columns, change.version))
                return sqliteError(db_, QStringLiteral("Cannot update a node"));
            if (sqlite3_changes(db_) == 1) {
                result.written.push_back(WrittenNode{index, change.version + 1, std::nullopt});
                break;
            }
            const auto current = readLocked("WHERE id = ?1", change.id.value());
            if (!current.isSuccess()) return current.error();
            if (current.value().rows.empty())
                return ContextError{QStringLiteral("Node %1 is no longer in the store.").arg(change.id.value())};
            if (!writeOverOthers)
                return ContextError{
                    QStringLiteral("Node %1 was changed in the store since it was read.").arg(change.id.value())};
            // Another context wrote the row since: the properties changed here go over its values,
            // the others keep what it wrote.
            if (!updateRow(change.id, v, columns, std::nullopt))
                return sqliteError(db_, QStringLiteral("Cannot update a node"));
            const auto after = readLocked("WHERE id = ?1", change.id.value());
            if (!after.isSuccess()) return after.error();
            if (after.value().rows.empty())
                return ContextError{QStringLiteral("Node %1 is no longer in the store.").arg(change.id.value())};
            const StoredNodeRow& row = after.value().rows.front();
            result.written.push_back(WrittenNode{index, row.version, row.values});
            break;
        }
        case NodeChange::Kind::remove: {
            Statement subtree(prepared("WITH RECURSIVE doomed(id) AS (SELECT ?1 UNION SELECT n.id FROM FileSystemNode n "
                                       "JOIN doomed d ON n.parent = d.id) SELECT id FROM doomed"));
            subtree.bind(1, change.id);
            int rc;
            while ((rc = subtree.step()) == SQLITE_ROW) removed.insert(ObjectID(subtree.int64(0)));
            if (rc != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot delete a node"));
            Statement statement(prepared("DELETE FROM FileSystemNode WHERE id = ?1"));
            statement.bind(1, change.id);
            if (statement.step() != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot delete a node"));
            break;
        }
        }
    }
    if (!removed.empty())
        std::erase_if(result.written, [&](const WrittenNode& node) { return removed.contains(changes[node.change].id); });
    result.removed.assign(removed.begin(), removed.end());
    if (!transaction.commit()) return sqliteError(db_, QStringLiteral("Cannot save"));
    ++generation_;
    if (lowestInserted) insertions_.emplace_back(generation_, *lowestInserted);
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
        Statement statement(prepared("DELETE FROM FileSystemNode WHERE id = ?1"));
        statement.bind(1, id);
        if (statement.step() != SQLITE_DONE) return sqliteError(db_, QStringLiteral("Cannot delete nodes"));
    }
    if (!transaction.commit()) return sqliteError(db_, QStringLiteral("Cannot delete nodes"));
    ++generation_;
    return std::vector<ObjectID>(doomed.begin(), doomed.end());
}
