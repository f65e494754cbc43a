#include "frameworks/sync/SqliteDatabase.h"

#include <QFile>

#include <sqlite3.h>

#include <string>

#include "frameworks/sync/SqliteFiles.h"

namespace {
[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    throw SqliteError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"), db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM);
}
}  // namespace

bool SqliteError::isDamage() const { return code_ == SQLITE_CORRUPT || code_ == SQLITE_NOTADB; }

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db_, sql, -1, &statement_, nullptr) != SQLITE_OK) fail(db_, std::string("prepare ") + sql);
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept : db_(other.db_), statement_(other.statement_) {
    other.statement_ = nullptr;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) fail(db_, "bind");
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    if (sqlite3_bind_text(statement_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        fail(db_, "bind");
    return *this;
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(db_, "step");
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::int64_t SqliteStatement::int64(int column) const { return sqlite3_column_int64(statement_, column); }

QString SqliteStatement::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return data ? QString::fromUtf8(data, sqlite3_column_bytes(statement_, column)) : QString();
}

SqliteDatabase::SqliteDatabase(const QString& path) {
    if (const auto problem = SqliteFiles::restrictToOwner(path)) throw SqliteError(problem->toStdString());
    const QByteArray name = QFile::encodeName(path);
    if (sqlite3_open_v2(name.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string message = std::string("open ") + name.constData() + ": " + (db_ ? sqlite3_errmsg(db_) : "");
        const int code = db_ ? sqlite3_errcode(db_) & 0xff : SQLITE_NOMEM;
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError(message, code);
    }
    sqlite3_busy_timeout(db_, 2000);
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close(db_); }

void SqliteDatabase::exec(const char* sql) {
    char* message = nullptr;
    if (const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message); rc != SQLITE_OK) {
        const std::string text = std::string(sql) + ": " + (message ? message : "");
        sqlite3_free(message);
        throw SqliteError(text, rc & 0xff);
    }
}

SqliteStatement SqliteDatabase::prepare(const char* sql) { return SqliteStatement(db_, sql); }
