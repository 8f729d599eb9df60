#pragma once

#include <stdexcept>
#include <string>

namespace macsim {

// Ends the running tool: the dispatcher prints the message (when not empty) on standard error,
// followed by a line feed, and exits with the status.
class ToolFailure : public std::runtime_error {
public:
  explicit ToolFailure(const std::string& message, int status = 1)
      : std::runtime_error(message), status_(status) {}

  int status() const { return status_; }

private:
  int status_;
};

} // namespace macsim
