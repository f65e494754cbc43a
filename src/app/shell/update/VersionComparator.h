#pragma once

#include <QString>

// Orders version texts the way release feeds write them: runs of digits compare as numbers, runs
// of letters as text, and a release outranks its own pre-releases ("1.0" > "1.0b2" > "1.0b1").
class VersionComparator {
public:
    // Negative when `a` is older than `b`, zero when equal, positive when newer.
    static int compare(const QString& a, const QString& b);
};
