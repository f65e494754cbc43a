#include "app/shell/archive/ZipArchiveMaker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString fromPath(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }

QUrl urlOf(const fs::path& path) { return QUrl::fromLocalFile(fromPath(path)); }

ZipArchiveMaker::Error fileError(const fs::path& path, const QString& reason) {
    return {ZipArchiveMaker::Error::Code::fileSystem, urlOf(path), reason};
}

ZipArchiveMaker::Error fileError(const fs::path& path, const std::error_code& code) {
    return fileError(path, QString::fromStdString(code.message()));
}

QString newUuidText() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

// Best effort: what cannot be removed stays behind in the temporary directory.
void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

// The entries of a folder sorted by name, so that archives of the same tree list the same order.
std::optional<ZipArchiveMaker::Error> sortedEntries(const fs::path& folder, std::vector<fs::directory_entry>& out) {
    std::error_code code;
    fs::directory_iterator it(folder, code);
    if (code) return fileError(folder, code);
    for (; it != fs::directory_iterator(); it.increment(code)) out.push_back(*it);
    if (code) return fileError(folder, code);
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    return std::nullopt;
}

bool isInside(const fs::path& path, const fs::path& root) {
    auto [rootEnd, pathIt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

std::optional<ZipArchiveMaker::Error> copyFile(const fs::path& from, const fs::path& to) {
    std::error_code code;
    if (!fs::copy_file(from, to, fs::copy_options::none, code) || code)
        return fileError(from, code ? code : std::make_error_code(std::errc::io_error));
    return std::nullopt;
}

// Copies the contents of `folder` (inside `root`, both canonical) into the new folder `to`.
std::optional<ZipArchiveMaker::Error> copyFolder(const fs::path& folder, const fs::path& to, const fs::path& root) {
    std::error_code code;
    // Made afresh rather than copied, so that a read-only source folder still leaves a working
    // folder that can be removed.
    if (!fs::create_directory(to, code) || code)
        return fileError(to, code ? code : std::make_error_code(std::errc::file_exists));
    std::vector<fs::directory_entry> entries;
    if (auto error = sortedEntries(folder, entries)) return error;
    for (const fs::directory_entry& entry : entries) {
        const fs::path destination = to / entry.path().filename();
        const fs::file_status status = entry.symlink_status(code);
        if (code) return fileError(entry.path(), code);
        if (fs::is_symlink(status)) {
            const fs::path target = fs::canonical(entry.path(), code);
            if (code || !isInside(target, root) || !fs::is_regular_file(fs::status(target, code)) || code)
                continue;
            if (auto error = copyFile(target, destination)) return error;
        } else if (fs::is_directory(status)) {
            if (auto error = copyFolder(entry.path(), destination, root)) return error;
        } else if (fs::is_regular_file(status)) {
            if (auto error = copyFile(entry.path(), destination)) return error;
        }
        // Sockets, pipes and devices: reading one could block forever or never end.
    }
    return std::nullopt;
}

std::optional<ZipArchiveMaker::Error> copyItem(const QUrl& url, const fs::path& workingFolder) {
    if (!url.isLocalFile()) return ZipArchiveMaker::Error::notAFileURL(url);
    const QString localPath = QDir::cleanPath(url.toLocalFile());
    const QString name = QFileInfo(localPath).fileName();
    const fs::path source = toPath(localPath);
    if (name.isEmpty() || name == QLatin1String("..") || name == QLatin1String("."))
        return fileError(source, std::make_error_code(std::errc::invalid_argument));
    const fs::path destination = workingFolder / toPath(name);
    std::error_code code;
    if (fs::exists(fs::symlink_status(destination, code)))
        return fileError(source, std::make_error_code(std::errc::file_exists));

    const fs::path resolved = fs::canonical(source, code);
    if (code) return fileError(source, code);
    const fs::file_status status = fs::status(resolved, code);
    if (code) return fileError(source, code);
    if (fs::is_directory(status)) return copyFolder(resolved, destination, resolved);
    if (fs::is_regular_file(status)) return copyFile(resolved, destination);
    return fileError(source, QStringLiteral("Not a regular file or folder"));
}

QString zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

// Adds the folder's subfolders and regular files under `prefix` (which ends in "/").
std::optional<ZipArchiveMaker::Error> addFolder(zip_t* archive, const fs::path& folder, const QByteArray& prefix) {
    if (zip_dir_add(archive, prefix.constData(), ZIP_FL_ENC_UTF_8) < 0)
        return fileError(folder, QString::fromUtf8(zip_strerror(archive)));
    std::vector<fs::directory_entry> entries;
    if (auto error = sortedEntries(folder, entries)) return error;
    for (const fs::directory_entry& entry : entries) {
        std::error_code code;
        const fs::file_status status = entry.symlink_status(code);
        if (code) return fileError(entry.path(), code);
        const QByteArray name = prefix + fromPath(entry.path().filename()).toUtf8();
        if (fs::is_directory(status)) {
            if (auto error = addFolder(archive, entry.path(), name + '/')) return error;
        } else if (fs::is_regular_file(status)) {
            zip_source_t* source = zip_source_file(archive, entry.path().c_str(), 0, -1);
            if (!source) return fileError(entry.path(), QString::fromUtf8(zip_strerror(archive)));
            if (zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
                zip_source_free(source);
                return fileError(entry.path(), QString::fromUtf8(zip_strerror(archive)));
            }
        }
    }
    return std::nullopt;
}

std::optional<ZipArchiveMaker::Error> writeArchive(const fs::path& folder, const fs::path& archivePath) {
    int openError = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_EXCL, &openError);
    if (!archive) return fileError(archivePath, zipErrorText(openError));
    const QByteArray top = fromPath(folder.filename()).toUtf8() + '/';
    if (auto error = addFolder(archive, folder, top)) {
        zip_discard(archive);
        return error;
    }
    // The files are read and compressed only now.
    if (zip_close(archive) != 0) {
        const QString reason = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        return fileError(archivePath, reason);
    }
    return std::nullopt;
}

SerialQueue& zipQueue() {
    // Never destroyed: a report still being written when the process ends simply stops.
    static SerialQueue* queue = new SerialQueue(QStringLiteral("ZipArchiveMaker"));
    return *queue;
}

}  // namespace

QString ZipArchiveMaker::Error::description() const {
    const QString where = url.isLocalFile() ? url.toLocalFile() : url.toString();
    if (code == Code::notAFileURL) return QStringLiteral("Not a file URL: %1").arg(where);
    return QStringLiteral("%1: %2").arg(where, reason);
}

std::optional<ZipArchiveMaker::Error> ZipArchiveMaker::zipFolder(const QUrl& folder, const QUrl& target) {
    if (!folder.isLocalFile()) return Error::notAFileURL(folder);
    const fs::path folderPath = toPath(QDir::cleanPath(folder.toLocalFile()));
    std::error_code code;
    if (!fs::is_directory(fs::status(folderPath, code)) || code) return Error::notAFileURL(folder);
    if (!target.isLocalFile()) return Error::notAFileURL(target);

    const fs::path targetPath = toPath(QDir::cleanPath(target.toLocalFile()));
    // Beside the target, so that the final rename stays on one file system.
    const fs::path partial = targetPath.parent_path() /
        toPath(QStringLiteral(".%1.%2.part").arg(fromPath(targetPath.filename()), newUuidText()));
    if (auto error = writeArchive(folderPath, partial)) {
        removeQuietly(partial);
        return error;
    }
    // rename() never replaces a folder: one at the target stays, with its contents.
    fs::rename(partial, targetPath, code);
    if (code) {
        removeQuietly(partial);
        return fileError(targetPath, code);
    }
    return std::nullopt;
}

std::optional<ZipArchiveMaker::Error> ZipArchiveMaker::zip(const QUrl& target) const {
    const fs::path workingFolder = toPath(QDir::tempPath()) / toPath(newUuidText());
    std::error_code code;
    if (!fs::create_directories(workingFolder, code) || code)
        return fileError(workingFolder, code ? code : std::make_error_code(std::errc::file_exists));

    std::optional<Error> error;
    for (const QUrl& url : urlsToZip_) {
        if ((error = copyItem(url, workingFolder))) break;
    }
    if (!error) error = zipFolder(urlOf(workingFolder), target);
    removeQuietly(workingFolder);
    return error;
}

void ZipArchiveMaker::zipAsync(const QUrl& target, Completion completion) const {
    zipQueue().async([maker = *this, target, completion = std::move(completion)]() mutable {
        std::optional<Error> error = maker.zip(target);
        MainQueue::async([completion = std::move(completion), error = std::move(error)] {
            if (completion) completion(error);
        });
    });
}
