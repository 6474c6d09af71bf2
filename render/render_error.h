// An error that ends quillo-render: one line for the user, without the program
// name, which main() puts in front.
#pragma once

#include <stdexcept>
#include <string>

namespace quillo::render {

class RenderError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace quillo::render
