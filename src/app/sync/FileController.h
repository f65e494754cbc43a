#pragma once

#include <QString>

#include <optional>
#include <vector>

// An item of the picked folder that stayed where it was, and why.
struct FileMoveFailure {
    QString name;
    QString reason;
    bool operator==(const FileMoveFailure&) const = default;
};

// What a move of a folder's contents achieved. Anything short of complete leaves items outside
// the new sync folder, where they are not synced: the user has to hear of it.
struct FileMoveReport {
    // Why the new folder could not be made; nothing moved then.
    std::optional<QString> destinationFailure;
    std::vector<FileMoveFailure> notMoved;

    bool isComplete() const { return !destinationFailure && notMoved.empty(); }
    // One line per item left behind ("name: reason"), or the destination's failure.
    QString description() const;
};

// Moves the contents of a picked folder one level down into a new folder inside it, so that the
// picked folder becomes the sync folder's parent and its old contents the sync folder.
class FileController {
public:
    // Each failure is logged and reported; the items that could move have moved. A destination
    // that cannot be created leaves the tree untouched and points the sync root at the source.
    [[nodiscard]] FileMoveReport move(const QString& directory, const QString& destination) const;
};
