#pragma once

#include <QString>

// Moves the contents of a picked folder one level down into a new folder inside it, so that the
// picked folder becomes the sync folder's parent and its old contents the sync folder.
class FileController {
public:
    // Every failure is logged and swallowed. A destination that cannot be created leaves the tree
    // untouched and points the sync root at the source.
    void move(const QString& directory, const QString& destination) const;
};
