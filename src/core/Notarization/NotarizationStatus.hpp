#pragma once

#include <string>
#include <utility>

namespace halyard {

// What a check of a file's notarization found. `failed` means the check itself could not be run
// (or the system refused the file) and carries the error's description.
class NotarizationStatus {
public:
  enum class Kind { failed, unknown, notNotarized, notarized };

  static NotarizationStatus failed(std::string description) {
    return NotarizationStatus(Kind::failed, std::move(description));
  }
  static NotarizationStatus unknown() { return NotarizationStatus(Kind::unknown, {}); }
  static NotarizationStatus notNotarized() { return NotarizationStatus(Kind::notNotarized, {}); }
  static NotarizationStatus notarized() { return NotarizationStatus(Kind::notarized, {}); }

  Kind kind() const { return kind_; }
  // The failure's description; empty for the other kinds.
  const std::string& description() const { return description_; }

  bool operator==(const NotarizationStatus&) const = default;

private:
  NotarizationStatus(Kind kind, std::string description)
      : kind_(kind), description_(std::move(description)) {}

  Kind kind_;
  std::string description_;
};

} // namespace halyard
