#include "app/shell/preferences/EncryptionKeyOpenPanel.h"

#include <QFileDialog>
#include <QPointer>

EncryptionKeyOpenPanel standardEncryptionKeyOpenPanel() {
    return [](QWidget* window, bool chooseDirectories, std::function<void(const QStringList&)> completion) {
        auto* dialog = new QFileDialog(window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setFileMode(chooseDirectories ? QFileDialog::Directory : QFileDialog::ExistingFile);
        if (chooseDirectories) dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setWindowModality(Qt::WindowModal);
        QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, completion](int result) {
            if (completion) completion(result == QDialog::Accepted ? dialog->selectedFiles() : QStringList());
        });
        dialog->open();
    };
}
