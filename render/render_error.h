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

// A command line that cannot be followed (exit status 2 rather than 1).
class UsageError : public RenderError {
  public:
    using RenderError::RenderError;
};

} // namespace quillo::render
