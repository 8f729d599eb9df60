#pragma once

#include "CodeSignature.hpp"

#include <filesystem>
#include <optional>

namespace macsim {

// The installer signature of a flat package (productsign, productbuild --sign, pkgbuild --sign),
// kept in the package's FileTrailer under "packageSignature". It binds the package's bytes.
struct PackageSignature {
  struct State {
    CodeSignature signature;
    bool valid = false; // intact and still matching the package's bytes
  };

  static std::optional<State> read(const std::filesystem::path& package);
  static void write(const std::filesystem::path& package, const CodeSignature& signature);
  static std::string contentDigest(const std::filesystem::path& package);
};

} // namespace macsim
