#include "render/text_file.h"

#include "hosting/user_error.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace quillo::render {

std::string readTextFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw UserError(path + ": cannot read: " + std::strerror(errno));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace quillo::render
