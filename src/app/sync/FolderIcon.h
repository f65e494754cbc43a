#pragma once

#include <QString>

// A folder's custom icon in the file manager. The desktop keeps it as the folder's "custom-icon"
// metadata (GIO), which names an image file; the image is written once into the application's data
// folder. Nothing happens on a desktop without the `gio` tool.
namespace FolderIcon {

// The file the named image is written to.
QString imageFilePath(const QString& imageName);

// Writes the image file when missing and sets it as the folder's icon. Blocks for a child process:
// never call it on the main thread. Answers whether the icon was set.
bool setIcon(const QString& folderPath, const QString& imageName);

// Hands setIcon() to a worker thread and returns at once.
void setIconAsync(const QString& folderPath, const QString& imageName);

}  // namespace FolderIcon
