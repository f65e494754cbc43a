#include "nautilus/ModuleLog.h"

#include "protocol/core/SavedSyncFolder.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace ModuleLog {

namespace {
// Past this the log starts again, the former one kept beside it.
constexpr std::uintmax_t maximumSize = 1024 * 1024;
}  // namespace

std::string cacheFolder() { return SavedSyncFolder::cacheFolder(); }

std::string path() { return cacheFolder() + "/orvella-nautilus.log"; }

void write(const std::string& line) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    const std::string file = path();
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    if (std::filesystem::file_size(file, error) > maximumSize && !error)
        std::filesystem::rename(file, file + ".old", error);
    std::FILE* out = std::fopen(file.c_str(), "a");
    if (!out) return;
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", localtime_r(&now, &local));
    std::fprintf(out, "%s [%d] %s\n", stamp, static_cast<int>(getpid()), line.c_str());
    std::fclose(out);
}

}  // namespace ModuleLog
