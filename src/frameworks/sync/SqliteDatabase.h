#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

// Thrown when SQLite reports a failure; the message carries SQLite's own text.
class SqliteError : public std::runtime_error {
public:
    explicit SqliteError(const std::string& what, int code = 0) : std::runtime_error(what), code_(code) {}
    // SQLite's primary result code (SQLITE_CORRUPT ...), 0 when unknown.
    int code() const { return code_; }
    // Whether the file itself is damaged (not a database, malformed), rather than busy or unwritable.
    bool isDamage() const;

private:
    int code_;
};

// One prepared statement, finalized with the object. Bind indices start at 1, columns at 0.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) = delete;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, const QString& value);
    // True while a row is available; false once the statement is done.
    bool step();
    // Ready to run again with new bindings.
    void reset();

    std::int64_t int64(int column) const;
    QString text(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// An open SQLite database file, closed with the object.
class SqliteDatabase {
public:
    // Opens or creates the file; it and the files SQLite keeps beside it are the owner's alone.
    explicit SqliteDatabase(const QString& path);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void exec(const char* sql);
    SqliteStatement prepare(const char* sql);

private:
    sqlite3* db_ = nullptr;
};
