#include "core/PKG/Packages.hpp"

#include <vector>

#include "core/Process/AppleTools.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/PropertyList.hpp"

namespace halyard {

PackageSignatureFacts Packages::checkSignature(const std::filesystem::path& package,
                                               const ToolRun& run) {
  return PackageSignatureFacts::from(
      run(AppleTools::pkgutil, {"--check-signature", package.string()}));
}

ToolProcessResult Packages::expand(const std::filesystem::path& package,
                                   const std::filesystem::path& folder, const ToolRun& run) {
  return run(AppleTools::pkgutil, {"--expand-full", package.string(), folder.string()});
}

ToolProcessResult Packages::analyze(const std::filesystem::path& root,
                                    const std::filesystem::path& componentPlist,
                                    const ToolRun& run) {
  return run(AppleTools::pkgbuild, {"--analyze", "--root", root.string(), componentPlist.string()});
}

bool Packages::makeBundlesNonRelocatable(const std::filesystem::path& componentPlist) {
  PropertyList list = PropertyList::readFile(componentPlist);
  if (!PropertyList::isArray(list.node())) return false;
  for (plist_t bundle : PropertyList::elements(list.node()))
    if (PropertyList::isDictionary(bundle))
      plist_dict_set_item(bundle, "BundleIsRelocatable", plist_new_bool(0));
  AtomicFile::writeAll(componentPlist, list.xml());
  return true;
}

ToolProcessResult Packages::buildComponent(const Component& component, const ToolRun& run) {
  return run(AppleTools::pkgbuild,
             {"--root", component.root.string(), "--component-plist",
              component.componentPlist.string(), "--identifier", component.identifier, "--version",
              component.version, "--install-location", component.installLocation,
              component.output.string()});
}

ToolProcessResult Packages::buildProduct(const Product& product, const ToolRun& run) {
  std::vector<std::string> arguments{"--distribution", product.distribution.string(),
                                     "--resources",    product.resources.string(),
                                     "--package-path", product.packagePath.string()};
  if (!product.signingIdentity.empty())
    arguments.insert(arguments.end(), {"--sign", product.signingIdentity, "--timestamp"});
  arguments.push_back(product.output.string());
  return run(AppleTools::productbuild, arguments);
}

ToolProcessResult Packages::sign(const std::string& identity, const std::filesystem::path& input,
                                 const std::filesystem::path& output, const ToolRun& run) {
  return run(AppleTools::productsign, {"--sign", identity, input.string(), output.string()});
}

} // namespace halyard
