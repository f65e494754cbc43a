#pragma once

#include <QMetaType>
#include <QString>

#include <memory>

#include "app/selectivesync/SelectiveSyncSizeCalculatorNode.h"

class DirectoryHierarchyNode;

// One folder as a cell of the selective-sync browser shows it. Made only through its initializer,
// which also tells whether the folder's local copy is a package (shown as one file, never opened
// as a folder).
class ObjCDirectoryNode : public SelectiveSyncSizeCalculatorRemoteItem {
public:
    // `state`: 1 on, 0 off, -1 mixed. `path`: the stored path, possibly percent-encoded, possibly
    // starting with "root". `item`: the remote folder, where the browser has one.
    ObjCDirectoryNode(int state, QString title, QString path, std::shared_ptr<DirectoryHierarchyNode> item);
    ObjCDirectoryNode(const ObjCDirectoryNode&) = delete;
    ObjCDirectoryNode& operator=(const ObjCDirectoryNode&) = delete;

    // A new node made with the same four values (the package test runs again).
    std::shared_ptr<ObjCDirectoryNode> copy() const;

    int state() const { return state_; }
    void setState(int state) { state_ = state; }
    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    QString path() const { return path_; }
    void setPath(const QString& path) { path_ = path; }
    bool isPackage() const { return isPackage_; }
    std::shared_ptr<DirectoryHierarchyNode> item() const { return item_; }
    void setItem(std::shared_ptr<DirectoryHierarchyNode> item) { item_ = std::move(item); }

    std::shared_ptr<DirectoryHierarchyNode> directoryNode() const override { return item_; }

    // Where the folder of a stored path lies in the sync folder: "root" dropped, percent-encoding
    // removed, inside the product folder of the sync root. None when the path does not decode or
    // there is no sync root.
    static std::optional<QString> localPath(const QString& path);

private:
    int state_;
    QString title_;
    QString path_;
    bool isPackage_ = false;
    std::shared_ptr<DirectoryHierarchyNode> item_;
};

Q_DECLARE_METATYPE(std::shared_ptr<ObjCDirectoryNode>)
