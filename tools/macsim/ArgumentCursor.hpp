#pragma once

#include <optional>
#include <string>
#include <vector>

namespace macsim {

// Walks an argument vector front to back, the way the real tools' option parsers do.
class ArgumentCursor {
public:
  explicit ArgumentCursor(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}

  bool atEnd() const { return position_ >= arguments_.size(); }
  const std::string& peek() const { return arguments_.at(position_); }
  std::string next() { return arguments_.at(position_++); }
  // The value after an option; `std::nullopt` when the vector ends first.
  std::optional<std::string> value() {
    if (atEnd()) return std::nullopt;
    return next();
  }
  std::vector<std::string> rest() const {
    return {arguments_.begin() + static_cast<long>(position_), arguments_.end()};
  }

private:
  std::vector<std::string> arguments_;
  size_t position_ = 0;
};

} // namespace macsim
