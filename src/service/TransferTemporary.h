#pragma once

#include <QString>

// The files a transfer writes beside its target before renaming them into place. They are
// hidden, never a user's item, and do not count against the user's quota.
namespace TransferTemporary {

inline QString prefix() { return QStringLiteral(".~ovsync-"); }
inline bool isTemporaryName(const QString& name) { return name.startsWith(prefix()); }

}  // namespace TransferTemporary
