// The one error type of the hosting library: a message meant for the user,
// naming what went wrong without the path or program name in front.
#pragma once

#include <stdexcept>
#include <string>

namespace quillo::hosting {

class HostingError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace quillo::hosting
