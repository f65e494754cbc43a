#include "frameworks/sync/SyncStateStore.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/sync/SqliteFiles.h"

namespace {
constexpr int schemaVersion = 1;

// SQLite takes a file of no bytes for an empty database, so whatever was in step is gone without
// a word from it: the comparison of both sides that follows must not pass for a first sync.
std::unique_ptr<SqliteDatabase> openDatabase(const QString& path) {
    const QFileInfo before(path);
    const bool existedEmpty = before.isFile() && before.size() == 0;
    auto db = std::make_unique<SqliteDatabase>(path);
    if (existedEmpty)
        OVLOG_WARNING(Log::Sync::persistence(),
                      QStringLiteral("The sync state \"%1\" is empty; it is rebuilt by comparing both sides").arg(path));
    return db;
}

void bindEntry(SqliteStatement& statement, int first, const FsEntry& entry) {
    statement.bind(first, std::int64_t(entry.type))
        .bind(first + 1, entry.size)
        .bind(first + 2, entry.mtimeNs)
        .bind(first + 3, std::int64_t(entry.inode))
        .bind(first + 4, std::int64_t(entry.mode));
}

FsEntry readEntry(const SqliteStatement& statement, int first) {
    FsEntry entry;
    const std::int64_t type = statement.int64(first);
    entry.type = type == 1 ? FsEntry::Type::directory : type == 0 ? FsEntry::Type::file : FsEntry::Type::other;
    entry.size = statement.int64(first + 1);
    entry.mtimeNs = statement.int64(first + 2);
    entry.inode = std::uint64_t(statement.int64(first + 3));
    entry.mode = std::uint32_t(statement.int64(first + 4));
    return entry;
}
}  // namespace

SyncStateStore::SyncStateStore(const QString& path) : db_(openDatabase(path)) {
    {
        SqliteStatement check = db_->prepare("PRAGMA quick_check");
        if (check.step() && check.text(0) != QStringLiteral("ok"))
            throw SqliteError("integrity check of " + path.toStdString() + ": " + check.text(0).toStdString(),
                              SQLITE_CORRUPT);
    }
    db_->exec("PRAGMA journal_mode=WAL");
    db_->exec("PRAGMA synchronous=NORMAL");
    db_->exec("CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL)");
    db_->exec(
        "CREATE TABLE IF NOT EXISTS records(path TEXT PRIMARY KEY,"
        " local_type INTEGER, local_size INTEGER, local_mtime INTEGER, local_inode INTEGER, local_mode INTEGER,"
        " remote_type INTEGER, remote_size INTEGER, remote_mtime INTEGER, remote_inode INTEGER, remote_mode INTEGER)");
    db_->exec(
        "CREATE TABLE IF NOT EXISTS subscriptions(position INTEGER PRIMARY KEY, path TEXT NOT NULL,"
        " recursive INTEGER NOT NULL, remote_identifier TEXT NOT NULL)");
    const auto version = value(QStringLiteral("schemaVersion"));
    if (version && version->toInt() != schemaVersion) {
        // A file from another version is not trusted: starting over only costs a comparison.
        db_->exec("DELETE FROM records");
        db_->exec("DELETE FROM subscriptions");
    }
    setValue(QStringLiteral("schemaVersion"), QString::number(schemaVersion));
    put_.emplace(db_->prepare("INSERT OR REPLACE INTO records VALUES(?,?,?,?,?,?,?,?,?,?,?)"));
    remove_.emplace(db_->prepare("DELETE FROM records WHERE path = ?"));
    // "a/" <= path < "a0" is what lies below "a": '0' follows '/' (and UTF-8 sorts as the paths do).
    removeBelow_.emplace(db_->prepare("DELETE FROM records WHERE path >= ? AND path < ?"));
    commit();
}

SyncStateStore::~SyncStateStore() {
    try {
        commit();
    } catch (const SqliteError&) {
        // Nothing more can be done at this point; the next start compares both sides again.
    }
    put_.reset();
    remove_.reset();
    removeBelow_.reset();
}

QString SyncStateStore::setAside(const QString& path) {
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (QFile::exists(path) && !QFile::rename(path, aside))
        throw SqliteError("Cannot set the damaged sync state " + path.toStdString() + " aside");
    for (const char* companion : SqliteFiles::companionSuffixes) {
        const QString suffix = QString::fromLatin1(companion);
        // A journal left beside a new file would be played into it.
        if (QFile::exists(path + suffix) && !QFile::rename(path + suffix, aside + suffix) && !QFile::remove(path + suffix))
            throw SqliteError("Cannot set the damaged sync state's journal " + (path + suffix).toStdString() + " aside");
    }
    return aside;
}

void SyncStateStore::begin() {
    if (inTransaction_) return;
    db_->exec("BEGIN");
    inTransaction_ = true;
}

void SyncStateStore::commit() {
    if (!inTransaction_) return;
    inTransaction_ = false;
    db_->exec("COMMIT");
}

std::map<QString, SyncRecord> SyncStateStore::loadRecords() {
    std::map<QString, SyncRecord> records;
    SqliteStatement statement = db_->prepare("SELECT * FROM records");
    while (statement.step()) {
        SyncRecord record;
        record.local = readEntry(statement, 1);
        record.remote = readEntry(statement, 6);
        records.emplace(statement.text(0), record);
    }
    return records;
}

void SyncStateStore::putRecord(const QString& path, const SyncRecord& record) {
    begin();
    put_->reset();
    put_->bind(1, path);
    bindEntry(*put_, 2, record.local);
    bindEntry(*put_, 7, record.remote);
    put_->step();
}

void SyncStateStore::removeRecord(const QString& path) {
    begin();
    remove_->reset();
    remove_->bind(1, path);
    remove_->step();
}

void SyncStateStore::removeRecordsBelow(const QString& path) {
    removeRecord(path);
    removeBelow_->reset();
    removeBelow_->bind(1, path + QLatin1Char('/'));
    removeBelow_->bind(2, path + QLatin1Char('0'));
    removeBelow_->step();
}

void SyncStateStore::removeAllRecords() {
    begin();
    db_->exec("DELETE FROM records");
}

std::optional<std::vector<SelectiveSyncItem>> SyncStateStore::loadSubscriptions() {
    if (!value(QStringLiteral("subscriptionsSaved"))) return std::nullopt;
    std::vector<SelectiveSyncItem> items;
    SqliteStatement statement =
        db_->prepare("SELECT path, recursive, remote_identifier FROM subscriptions ORDER BY position");
    while (statement.step())
        items.push_back(SelectiveSyncItem{statement.text(0), statement.int64(1) != 0, statement.text(2)});
    return items;
}

void SyncStateStore::saveSubscriptions(const std::vector<SelectiveSyncItem>& items) {
    begin();
    db_->exec("DELETE FROM subscriptions");
    SqliteStatement insert = db_->prepare("INSERT INTO subscriptions VALUES(?,?,?,?)");
    std::int64_t position = 0;
    for (const SelectiveSyncItem& item : items) {
        insert.reset();
        insert.bind(1, position++).bind(2, item.path).bind(3, std::int64_t(item.recursive ? 1 : 0));
        insert.bind(4, item.remoteIdentifier);
        insert.step();
    }
    setValue(QStringLiteral("subscriptionsSaved"), QStringLiteral("1"));
}

std::optional<QString> SyncStateStore::value(const QString& key) {
    SqliteStatement statement = db_->prepare("SELECT value FROM meta WHERE key = ?");
    statement.bind(1, key);
    if (!statement.step()) return std::nullopt;
    return statement.text(0);
}

void SyncStateStore::setValue(const QString& key, const QString& value) {
    begin();
    SqliteStatement statement = db_->prepare("INSERT OR REPLACE INTO meta VALUES(?, ?)");
    statement.bind(1, key).bind(2, value);
    statement.step();
}
