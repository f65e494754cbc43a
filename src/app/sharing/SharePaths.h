#pragma once

#include <QString>

#include <optional>

// The remote paths of share links as the framework writes them ("root" and percent-encoded
// components) and the matching local paths.
namespace SharePaths {

// Strict percent-decoding: none when a "%" is not followed by two hexadecimal digits or the bytes
// are not UTF-8.
std::optional<QString> percentDecoded(const QString& text);
// The remote path without its leading "root" (only a whole "root" component is cut).
QString withoutRootPrefix(const QString& remotePath);
// The local path of a remote path, decoded once, in the sync folder; none without a sync root or
// when the decoding fails.
std::optional<QString> localPath(const QString& remotePath);

}  // namespace SharePaths
