#pragma once

#include <QString>

// Settings for transfers that outlive the process. The desktop client does not use them; the
// type exists so that a configuration can say so explicitly.
struct OrvellaBackgroundSessionConfiguration {
    QString identifier;

    friend bool operator==(const OrvellaBackgroundSessionConfiguration&,
                           const OrvellaBackgroundSessionConfiguration&) = default;
};
