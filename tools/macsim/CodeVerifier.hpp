#pragma once

#include "CodeSignature.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace macsim {

struct Verification {
  enum class Status { valid, notSigned, invalid, missing, unrecognized };
  Status status = Status::valid;
  // codesign's sentence after "PATH: " ("a sealed resource is missing or invalid").
  std::string problem;
  // Lines that follow it ("file modified: ...", "In subcomponent: ...").
  std::vector<std::string> details;
  std::optional<CodeSignature> signature;
  // Nested code checked on the way (deep verification), for the --prepared/--validated lines.
  std::vector<std::filesystem::path> nestedChecked;

  bool valid() const { return status == Status::valid; }
};

// Checks a signature against the bytes on disk, as codesign --verify does.
struct CodeVerifier {
  struct Options {
    bool deep = false;
    bool strict = false;
  };
  static Verification verify(const std::filesystem::path& path, const Options& options);
};

} // namespace macsim
