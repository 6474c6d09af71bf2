// A VST 2 plug-in library opened with dlopen, and its entry point.
#pragma once

#include "host_interface/aeffect.h"

#include <memory>
#include <string>

namespace quillo::hosting {

class PluginLibrary {
  public:
    // Opens the library and finds "VSTPluginMain", or "main" for older plug-ins.
    // Throws UserError when the file is missing, is not a loadable library or
    // exports neither name.
    static std::shared_ptr<PluginLibrary> open(const std::string& path);

    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& path() const { return path_; }
    VstPluginMainProc entryPoint() const { return entryPoint_; }
    // "VSTPluginMain" or "main".
    const std::string& entryName() const { return entryName_; }

  private:
    PluginLibrary(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}

    std::string path_;
    void* handle_ = nullptr;
    VstPluginMainProc entryPoint_ = nullptr;
    std::string entryName_;
};

} // namespace quillo::hosting
