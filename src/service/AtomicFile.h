#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file writes that either replace the file completely or leave the old one untouched: the
// data goes to a private temp file beside the target, is flushed to disk, then renamed over it.
// Readers therefore always see one complete version, also from other processes.
namespace AtomicFile {

// Writes `data` to `path` with the given mode (owner-only by default). On failure the old file,
// if any, is unchanged, no temp file is left behind, and `error` (when given) says why.
bool write(const QString& path, const QByteArray& data, unsigned mode = 0600, QString* error = nullptr);

// The file's bytes; none when it does not exist or cannot be read.
std::optional<QByteArray> read(const QString& path);

// The name of the file whose temp file is named `name` (".<target>.XXXXXX"); none for any other
// name. A process killed in the middle of `write` leaves such a file behind.
std::optional<QString> targetOfTemporary(const QString& name);

// Makes the next `count` writes fail after the temp file was written, just before it would
// replace the target: the moment where a half-done write could do the most harm.
void failNextWritesForTesting(int count);

}  // namespace AtomicFile
