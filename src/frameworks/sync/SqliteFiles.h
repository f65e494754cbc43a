#pragma once

#include <QString>

#include <optional>

// The files of an SQLite database on disk: the database file and those SQLite keeps beside it.
namespace SqliteFiles {

// The files SQLite keeps beside a database, each named after it.
inline constexpr const char* companionSuffixes[] = {"-journal", "-wal", "-shm"};

// Makes the database file its owner's alone (0600), creating it so when it is missing, and its
// companions that exist too, also when an earlier version or the umask left them wider. SQLite
// gives the companions it makes later the mode of the database file, so they stay owner-only.
// Says what failed, or none.
std::optional<QString> restrictToOwner(const QString& databasePath);

}  // namespace SqliteFiles
