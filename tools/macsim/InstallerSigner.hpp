#pragma once

#include "ToolContext.hpp"

#include <filesystem>
#include <string>

namespace macsim {

// The installer signing shared by productsign, productbuild --sign and pkgbuild --sign:
// finds the installer identity, stamps the package's trailer and returns the lines the tool
// prints ("<tool>: signing product with identity ...").
struct InstallerSigner {
  static std::string sign(const ToolContext& context, const std::filesystem::path& package,
                          const std::string& identity, bool timestamp, const std::string& tool);
};

} // namespace macsim
