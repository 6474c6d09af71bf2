// The files quillo-render reads whole: job lists, automation files, sidecars.
#pragma once

#include <string>

namespace quillo::render {

// The file's bytes. Throws UserError "PATH: cannot read: reason".
std::string readTextFile(const std::string& path);

} // namespace quillo::render
