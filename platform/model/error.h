#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// An error that carries the exact text the user reads on the console. Operations raise it;
// the dispatcher's caller writes the message and leaves the windows as they are.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace velmora
