#pragma once

class DirectoryHierarchyNode;

// Which remote folders the selective-sync store keeps: those the service marks as selectable,
// and the service's top folders ("root", "users", a path without components) whatever their marks.
struct StoreHierarchyFilter {
    static bool isStoredChild(const DirectoryHierarchyNode& child);
};
