#pragma once

#include <QString>

#include "frameworks/common/Result.h"

// A failure of the selective-sync store underneath an object context: the file could not be
// opened, read or written, or a save met a row another context had changed or removed.
struct ContextError {
    QString description;
    // The store's file is not a readable store (corrupt, or not a database at all): another
    // attempt on the same file cannot succeed.
    bool isDamaged = false;
    bool operator==(const ContextError&) const = default;
};

// What a context operation gives: its value, or the error.
template <typename T>
using ContextResult = Result<T, ContextError>;
