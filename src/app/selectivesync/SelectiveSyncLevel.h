#pragma once

#include <memory>
#include <utility>
#include <variant>
#include <vector>

#include "app/core/AppError.h"

class DirectoryHierarchyNode;
class FileSystemNode;

// One loaded folder level: each stored node with the remote folder it stands for.
using SelectiveSyncLevelPair = std::pair<std::shared_ptr<FileSystemNode>, std::shared_ptr<DirectoryHierarchyNode>>;
using SelectiveSyncLevel = std::vector<SelectiveSyncLevelPair>;

// A level load's outcome: the level, or the error to present.
class SelectiveSyncLevelResult {
public:
    SelectiveSyncLevelResult(SelectiveSyncLevel level) : value_(std::move(level)) {}
    SelectiveSyncLevelResult(AppError error) : value_(std::move(error)) {}
    bool isSuccess() const { return std::holds_alternative<SelectiveSyncLevel>(value_); }
    const SelectiveSyncLevel& value() const { return std::get<SelectiveSyncLevel>(value_); }
    const AppError& error() const { return std::get<AppError>(value_); }

private:
    std::variant<SelectiveSyncLevel, AppError> value_;
};
