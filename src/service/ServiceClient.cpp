#include "service/ServiceClient.h"

#include <sys/mman.h>
#include <unistd.h>

#include "service/UserTree.h"

std::vector<ServiceResult<ServiceEntry>> ServiceClient::uploadEachOf(const std::vector<ServiceWire::BatchFile>& files,
                                                                    const std::atomic<bool>* cancel) {
    std::vector<ServiceResult<ServiceEntry>> outcomes;
    outcomes.reserve(files.size());
    for (const ServiceWire::BatchFile& file : files) {
        // upload reads from a descriptor: one in memory holds the bytes already read.
        const UniqueFd fd(::memfd_create("orvella-upload", MFD_CLOEXEC));
        qsizetype written = 0;
        while (fd && written < file.bytes.size()) {
            const ssize_t n = ::write(fd.get(), file.bytes.constData() + written, std::size_t(file.bytes.size() - written));
            if (n < 0) break;
            written += n;
        }
        if (!fd || written != file.bytes.size())
            outcomes.emplace_back(ServiceError::storageFailure, QStringLiteral("The bytes to upload cannot be held."));
        else
            outcomes.push_back(upload(file.request, fd.get(), cancel));
    }
    return outcomes;
}

std::vector<ServiceResult<ServiceWire::ServedFile>> ServiceClient::downloadEachOf(const std::vector<ServiceWire::WantedFile>& files,
                                                                                const std::atomic<bool>* cancel) {
    std::vector<ServiceResult<ServiceWire::ServedFile>> outcomes;
    outcomes.reserve(files.size());
    for (const ServiceWire::WantedFile& file : files) {
        QByteArray bytes;
        auto served = download(file.path, file.revision, 0, [&](const char* data, std::size_t size) {
            bytes.append(data, qsizetype(size));
            return true;
        }, cancel);
        if (served) outcomes.emplace_back(ServiceWire::ServedFile{served.value(), std::move(bytes)});
        else outcomes.emplace_back(served.failure());
    }
    return outcomes;
}

std::vector<ServiceResult<ServiceDone>> ServiceClient::removeEachOf(const std::vector<ServiceWire::Removal>& items) {
    std::vector<ServiceResult<ServiceDone>> outcomes;
    outcomes.reserve(items.size());
    for (const ServiceWire::Removal& item : items) {
        if (item.revision) {
            outcomes.push_back(remove(item.path, *item.revision));
            continue;
        }
        // An empty folder whatever its revision, as the service removes one in a batch.
        const auto folder = entry(item.path);
        const ServiceFailure stays{ServiceError::notEmpty, QStringLiteral("\"%1\" is not an empty folder.").arg(item.path)};
        if (!folder) outcomes.emplace_back(folder.failure());
        else if (folder.value().type != ServiceEntry::Type::folder) outcomes.emplace_back(stays);
        else if (auto removed = remove(item.path, folder.value().revision()); !removed && removed.error() == ServiceError::revisionMismatch)
            outcomes.emplace_back(stays);
        else outcomes.push_back(std::move(removed));
    }
    return outcomes;
}
