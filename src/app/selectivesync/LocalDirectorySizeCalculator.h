#pragma once

#include <QStringList>

#include <cstdint>

// Measures what local folders occupy on disk.
class LocalDirectorySizeCalculator {
public:
    virtual ~LocalDirectorySizeCalculator() = default;
    // Bytes the folders (and everything below them) occupy together; 0 when they cannot be
    // measured, so a caller comparing against free space errs on the strict side.
    virtual std::int64_t size(const QStringList& ofPaths) const = 0;
};
