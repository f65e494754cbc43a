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
