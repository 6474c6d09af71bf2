#include "render/plugin_search.h"

#include "hosting/user_error.h"

#include <cstdlib>
#include <filesystem>

namespace quillo::render {

namespace fs = std::filesystem;

constexpr const char* kPluginFile = "quillo.so";

std::vector<std::string> pluginSearchPaths(const std::string& executableDirectory,
                                           const char* home) {
    std::vector<std::string> paths;
    if (!executableDirectory.empty()) {
        const fs::path here(executableDirectory);
        paths.push_back((here / kPluginFile).string());
        paths.push_back((here / ".." / "lib" / "vst" / kPluginFile).lexically_normal().string());
    }
    if (home && *home) paths.push_back((fs::path(home) / ".vst" / kPluginFile).string());
    paths.push_back(std::string("/usr/local/lib/vst/") + kPluginFile);
    paths.push_back(std::string("/usr/lib/vst/") + kPluginFile);
    return paths;
}

std::string findDefaultPlugin() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    const std::string directory = error ? std::string() : executable.parent_path().string();
    const std::vector<std::string> paths = pluginSearchPaths(directory, std::getenv("HOME"));
    for (const std::string& path : paths) {
        if (fs::is_regular_file(path, error)) return path;
    }
    std::string places;
    for (const std::string& path : paths)
        places += (places.empty() ? "" : ", ") + path;
    throw UserError("quillo.so not found (looked at " + places + "); give --plugin PATH");
}

} // namespace quillo::render
