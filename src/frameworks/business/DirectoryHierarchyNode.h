#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "frameworks/business/BusinessError.h"

class Cancelable;

// A remote folder as the business framework reports it. The tree is not fetched whole: a node knows
// its children only after a level request has filled them in.
class DirectoryHierarchyNode {
public:
    // Set on every folder the user may choose to keep locally.
    static constexpr std::int64_t selectableFlag = 256;

    virtual ~DirectoryHierarchyNode() = default;

    // The folder's path in the user's remote tree ("/" for the root, "/Documents/Old" below it).
    virtual std::optional<QString> path() const = 0;
    virtual QString identifier() const = 0;
    // The last component of the path; "root" for the root.
    virtual QString name() const = 0;
    virtual std::int64_t flags() const = 0;
    // Bytes held in the folder and everything below it.
    virtual std::int64_t size() const = 0;
    // None until a level request has filled them in.
    virtual std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children() const = 0;

    using LevelCompletion = std::function<void(BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>)>;
    // Reads this folder again with `depth` levels of children, `batch` levels per request. The
    // completion runs once, on any thread, with a fresh node for the same folder, unless cancelled.
    virtual std::shared_ptr<Cancelable> loadLevel(int depth, int batch, LevelCompletion completion) const = 0;
};
