// Where quillo-render finds quillo.so when no --plugin is given.
#pragma once

#include <string>
#include <vector>

namespace quillo::render {

// In order: beside the executable, ../lib/vst from it, ~/.vst, /usr/local/lib/vst,
// /usr/lib/vst.
std::vector<std::string> pluginSearchPaths(const std::string& executableDirectory,
                                           const char* home);

// The first of the search paths that exists; throws UserError naming the
// places looked in when none does.
std::string findDefaultPlugin();

} // namespace quillo::render
