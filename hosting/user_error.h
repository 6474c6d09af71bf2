// The one error type of the hosting library and the command-line tools: a
// message meant for the user, one line, naming what went wrong without the
// program's name in front, which main() puts there.
#pragma once

#include <stdexcept>
#include <string>

namespace quillo {

class UserError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A command line that cannot be followed: exit status 2 rather than 1.
class UsageError : public UserError {
  public:
    using UserError::UserError;
};

} // namespace quillo
