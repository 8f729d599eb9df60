#pragma once

#include <filesystem>
#include <string>

#include "core/PKG/PackageSignatureFacts.hpp"
#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// The installer-package tools (pkgutil, pkgbuild, productbuild, productsign): the one place that
// spells their command lines and reads what pkgutil says about a signature. The runs come back as
// they are; what a failure means is the caller's to say.
struct Packages {
  // `pkgutil --check-signature PKG`.
  static PackageSignatureFacts checkSignature(const std::filesystem::path& package,
                                              const ToolRun& run);

  // `pkgutil --expand-full PKG FOLDER`: pkgutil makes the folder itself and refuses one that
  // exists.
  static ToolProcessResult expand(const std::filesystem::path& package,
                                  const std::filesystem::path& folder, const ToolRun& run);

  // `pkgbuild --analyze --root ROOT PLIST`: the component property list of the bundles in ROOT.
  static ToolProcessResult analyze(const std::filesystem::path& root,
                                   const std::filesystem::path& componentPlist, const ToolRun& run);

  // Marks every bundle of a component property list that `analyze` wrote as not relocatable (the
  // installer then writes to the install location, never over a copy found elsewhere). False,
  // and nothing written, when the file holds no list of bundles.
  static bool makeBundlesNonRelocatable(const std::filesystem::path& componentPlist);

  // A component package of ROOT installed into `installLocation`.
  struct Component {
    std::filesystem::path root;
    std::filesystem::path componentPlist;
    std::string identifier;
    std::string version;
    std::string installLocation;
    std::filesystem::path output;
  };
  // `pkgbuild --root ROOT --component-plist PLIST --identifier ID --version V
  // --install-location LOCATION OUTPUT`.
  static ToolProcessResult buildComponent(const Component& component, const ToolRun& run);

  // A product archive from a distribution definition and the component packages in
  // `packagePath`.
  struct Product {
    std::filesystem::path distribution;
    std::filesystem::path resources;
    std::filesystem::path packagePath;
    std::string signingIdentity; // empty: unsigned
    std::filesystem::path output;
  };
  // `productbuild --distribution D --resources R --package-path P [--sign ID --timestamp] OUTPUT`.
  static ToolProcessResult buildProduct(const Product& product, const ToolRun& run);

  // `productsign --sign IDENTITY INPUT OUTPUT`.
  static ToolProcessResult sign(const std::string& identity, const std::filesystem::path& input,
                                const std::filesystem::path& output, const ToolRun& run);
};

} // namespace halyard
