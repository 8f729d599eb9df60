#include "ArchiveWriter.hpp"
#include "CodeLayout.hpp"
#include "Files.hpp"
#include "FlatPackage.hpp"
#include "InstallerSigner.hpp"
#include "Output.hpp"
#include "PropertyList.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText =
    "Usage: pkgbuild [options] --root <root-path> [--component-plist <plist>] "
    "<package-output-path>\n"
    "       pkgbuild --analyze --root <root-path> <plist-output-path>";

std::string escaped(const std::string& text) {
  std::string result;
  for (char c : text) {
    switch (c) {
    case '&':
      result += "&amp;";
      break;
    case '<':
      result += "&lt;";
      break;
    case '>':
      result += "&gt;";
      break;
    case '"':
      result += "&quot;";
      break;
    default:
      result += c;
    }
  }
  return result;
}

// Bundles below the root that the installer tracks, outermost only.
std::vector<fs::path> bundlesIn(const fs::path& root) {
  std::vector<fs::path> bundles;
  for (const auto& relative : Files::walk(root)) {
    const fs::path item = root / relative;
    if (!fs::is_directory(fs::symlink_status(item)) || !CodeLayout::hasBundleExtension(item))
      continue;
    bool nested = false;
    for (const auto& outer : bundles)
      if (Files::isInside(relative, outer)) nested = true;
    if (!nested) bundles.push_back(relative);
  }
  return bundles;
}

int analyze(const fs::path& root, const fs::path& output) {
  if (!fs::is_directory(root))
    throw ToolFailure("pkgbuild: error: Root path \"" + root.string() + "\" is not a directory.");
  std::string text =
      "pkgbuild: Inferring bundle components from contents of " + root.string() + "\n";
  auto list = PropertyList::array();
  for (const auto& bundle : bundlesIn(root)) {
    auto item = PropertyList::dictionary();
    item.setBoolean("BundleHasStrictIdentifier", true);
    item.setBoolean("BundleIsRelocatable", true);
    item.setBoolean("BundleIsVersionChecked", true);
    item.setString("BundleOverwriteAction", "upgrade");
    item.setString("RootRelativeBundlePath", bundle.generic_string());
    list.append(std::move(item));
  }
  Files::writeAtomically(output, list.xml());
  Output::out(text + "pkgbuild: Writing new component property list to " + output.string() + "\n");
  return 0;
}

struct ComponentEntry {
  std::string path;
  bool relocatable = true;
};

std::vector<ComponentEntry> readComponentList(const fs::path& plist, const fs::path& root) {
  const auto list = PropertyList::readFile(plist);
  if (!list || !PropertyList::isArray(list.node()))
    throw ToolFailure("pkgbuild: error: Could not read component property list \"" +
                      plist.string() + "\".");
  std::vector<ComponentEntry> entries;
  for (plist_t item : PropertyList::elements(list.node())) {
    const auto path = PropertyList::string(item, "RootRelativeBundlePath");
    if (!path)
      throw ToolFailure("pkgbuild: error: Invalid component property list \"" + plist.string() +
                        "\".");
    ComponentEntry entry{*path, PropertyList::boolean(item, "BundleIsRelocatable").value_or(true)};
    if (!fs::is_directory(root / entry.path))
      throw ToolFailure("pkgbuild: error: No bundle at path \"" + entry.path +
                        "\" in the root folder.");
    entries.push_back(entry);
  }
  return entries;
}

std::string packageInfo(const std::string& identifier, const std::string& version,
                        const std::string& location, const fs::path& root,
                        const std::vector<ComponentEntry>& components,
                        const std::optional<fs::path>& scripts) {
  const auto files = Files::walk(root).size();
  const auto kilobytes = Files::allocatedSize(root) / 1024;
  bool relocatable = false;
  for (const auto& component : components)
    relocatable = relocatable || component.relocatable;
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<pkg-info overwrite-permissions="
                    "\"true\" relocatable=\"" +
                    std::string(relocatable ? "true" : "false") + "\" identifier=\"" +
                    escaped(identifier) + "\" postinstall-action=\"none\" version=\"" +
                    escaped(version) +
                    "\" format-version=\"2\" generator-version=\"InstallCmds-859\" "
                    "install-location=\"" +
                    escaped(location) + "\" auth=\"root\">\n";
  xml += "    <payload numberOfFiles=\"" + std::to_string(files + 1) + "\" installKBytes=\"" +
         std::to_string(kilobytes) + "\"/>\n";
  std::string ids, relocations;
  for (const auto& component : components) {
    const auto info = PropertyList::readFile(CodeLayout::of(root / component.path).infoPlist);
    const std::string id = info.string("CFBundleIdentifier").value_or("");
    xml += "    <bundle path=\"./" + escaped(component.path) + "\" id=\"" + escaped(id) +
           "\" CFBundleShortVersionString=\"" +
           escaped(info.string("CFBundleShortVersionString").value_or("")) +
           "\" CFBundleVersion=\"" + escaped(info.string("CFBundleVersion").value_or("")) +
           "\"/>\n";
    ids += "        <bundle id=\"" + escaped(id) + "\"/>\n";
    if (component.relocatable) relocations += "        <bundle id=\"" + escaped(id) + "\"/>\n";
  }
  xml += "    <bundle-version>\n" + ids + "    </bundle-version>\n";
  xml += "    <upgrade-bundle>\n" + ids + "    </upgrade-bundle>\n";
  xml += "    <update-bundle/>\n    <atomic-update-bundle/>\n";
  xml += "    <strict-identifier>\n" + ids + "    </strict-identifier>\n";
  xml += "    <relocate>\n" + relocations + "    </relocate>\n";
  if (scripts) {
    xml += "    <scripts>\n";
    for (const char* name : {"preinstall", "postinstall"})
      if (fs::is_regular_file(*scripts / name))
        xml += std::string("        <") + name + " file=\"./" + name + "\"/>\n";
    xml += "    </scripts>\n";
  }
  return xml + "</pkg-info>\n";
}

} // namespace

int runPkgbuild(const ToolContext& context) {
  bool analyzeOnly = false, timestamp = true;
  std::optional<std::string> root, componentPlist, identifier, version, location, scripts, sign;
  std::vector<std::string> positional;
  const auto& arguments = context.arguments;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&]() {
      if (i + 1 >= arguments.size())
        throw ToolFailure("pkgbuild: error: " + argument + " needs a value\n" + usageText, 1);
      return arguments[++i];
    };
    if (argument == "--analyze")
      analyzeOnly = true;
    else if (argument == "--root")
      root = value();
    else if (argument == "--component-plist")
      componentPlist = value();
    else if (argument == "--identifier")
      identifier = value();
    else if (argument == "--version")
      version = value();
    else if (argument == "--install-location")
      location = value();
    else if (argument == "--scripts")
      scripts = value();
    else if (argument == "--sign")
      sign = value();
    else if (argument == "--timestamp")
      timestamp = true;
    else if (argument == "--timestamp=none")
      timestamp = false;
    else if (argument == "--keychain" || argument == "--ownership" || argument == "--filter")
      value();
    else if (argument.rfind("--", 0) == 0)
      throw ToolFailure("pkgbuild: error: unrecognized option \"" + argument + "\"\n" + usageText,
                        1);
    else
      positional.push_back(argument);
  }
  if (!root || positional.size() != 1) throw ToolFailure(usageText, 1);
  if (analyzeOnly) return analyze(*root, positional.front());
  if (!fs::is_directory(*root))
    throw ToolFailure("pkgbuild: error: Root path \"" + *root + "\" is not a directory.");
  if (!identifier || identifier->empty())
    throw ToolFailure("pkgbuild: error: An identifier is required (--identifier).");
  if (scripts && !fs::is_directory(*scripts))
    throw ToolFailure("pkgbuild: error: Scripts path \"" + *scripts + "\" is not a directory.");

  std::string text;
  std::vector<ComponentEntry> components;
  if (componentPlist) {
    text += "pkgbuild: Reading components from " + *componentPlist + "\n";
    components = readComponentList(*componentPlist, *root);
  } else {
    text += "pkgbuild: Inferring bundle components from contents of " + *root + "\n";
    for (const auto& bundle : bundlesIn(*root))
      components.push_back({bundle.generic_string(), true});
  }
  for (const auto& component : components)
    text += "pkgbuild: Adding component at " + component.path + "\n";

  FlatPackage::Component component;
  component.root = *root;
  component.scripts = scripts ? std::optional<fs::path>(*scripts) : std::nullopt;
  component.packageInfo = packageInfo(*identifier, version.value_or("0"), location.value_or("/"),
                                      *root, components, component.scripts);
  const fs::path output = positional.front();
  if (!Files::absolute(output).parent_path().empty() &&
      !fs::is_directory(Files::absolute(output).parent_path()))
    throw ToolFailure("pkgbuild: error: Cannot write package to \"" + output.string() + "\".");
  Files::writeAtomically(output, FlatPackage::buildComponent(component));
  if (sign) text += InstallerSigner::sign(context, output, *sign, timestamp, "pkgbuild");
  Output::out(text + "pkgbuild: Wrote package to " + output.string() + "\n");
  return 0;
}

} // namespace macsim
