#include "hosting/plugin_library.h"

#include "hosting/user_error.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

namespace quillo::hosting {
namespace {

// dlerror() repeats the path in front of its reason; keep only the reason.
std::string loaderReason(const std::string& path) {
    const char* error = dlerror();
    std::string reason = error ? error : "unknown loader error";
    const std::string prefix = path + ": ";
    if (reason.compare(0, prefix.size(), prefix) == 0) reason.erase(0, prefix.size());
    return reason;
}

// dlsym searches the library's dependencies too; an entry point found there
// (a "main" in some other object) is not the plug-in's.
void* symbolOfLibrary(void* handle, const char* name) {
    void* symbol = dlsym(handle, name);
    if (!symbol) return nullptr;
    link_map* libraryMap = nullptr;
    link_map* symbolMap = nullptr;
    Dl_info info;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &libraryMap) != 0 ||
        dladdr1(symbol, &info, reinterpret_cast<void**>(&symbolMap), RTLD_DL_LINKMAP) == 0 ||
        symbolMap != libraryMap) {
        return nullptr;
    }
    return symbol;
}

} // namespace

std::shared_ptr<PluginLibrary> PluginLibrary::open(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) throw UserError("no such plug-in file");
    if (S_ISDIR(status.st_mode)) throw UserError("is a directory, not a plug-in library");

    // dlopen needs a slash to take the name as a path rather than a library to search for.
    const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        throw UserError("cannot load as a plug-in library: " + loaderReason(loadPath));
    }
    std::shared_ptr<PluginLibrary> library(new PluginLibrary(path, handle));

    for (const char* name : {"VSTPluginMain", "main"}) {
        if (void* symbol = symbolOfLibrary(handle, name)) {
            library->entryPoint_ = reinterpret_cast<VstPluginMainProc>(symbol);
            library->entryName_ = name;
            return library;
        }
    }
    throw UserError("not a VST 2 plug-in: exports neither VSTPluginMain nor main");
}

PluginLibrary::~PluginLibrary() {
    if (handle_) dlclose(handle_);
}

} // namespace quillo::hosting
