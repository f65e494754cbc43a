#include "protocol/core/SavedSyncFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace SavedSyncFolder {

std::string cacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/') return cache;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.cache";
}

std::string path() { return cacheFolder() + "/orvella-file-manager.folder"; }

std::optional<std::string> load() {
    std::ifstream in(path(), std::ios::binary);
    if (!in) return std::nullopt;
    std::string folder((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (folder.empty() || folder.front() != '/') return std::nullopt;
    return folder;
}

void save(const std::string& folder) {
    const std::string file = path();
    const std::string temporary = file + ".new";
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << folder;
    out.close();
    if (out) std::filesystem::rename(temporary, file, error);
    else std::filesystem::remove(temporary, error);
}

}  // namespace SavedSyncFolder
