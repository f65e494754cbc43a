#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The open panel of the encryption-key sheets, as a sheet on `window`: it chooses folders or
// files, and `completion` gets the chosen paths (none when cancelled).
using EncryptionKeyOpenPanel =
    std::function<void(QWidget* window, bool chooseDirectories, std::function<void(const QStringList& paths)> completion)>;

// A file dialog, window-modal.
EncryptionKeyOpenPanel standardEncryptionKeyOpenPanel();
