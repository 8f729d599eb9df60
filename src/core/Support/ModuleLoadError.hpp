#pragma once

#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// A part of the program that is loaded when first used (its drawing code, its document readers,
// its update-feed code, its name collation) could not be loaded: a broken installation, never to
// be taken for a fault of the user's files.
class ModuleLoadError : public Error {
public:
  static constexpr const char* domainName = "Halyard.module";

  explicit ModuleLoadError(const std::string& description) : Error(domainName, 1, description) {}
};

} // namespace halyard
