#include "FileTrailer.hpp"
#include "Files.hpp"
#include "FlatPackage.hpp"
#include "InstallerSigner.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText =
    "Usage: productbuild --distribution <dist-path> [--resources <dir>] "
    "[--package-path <dir>] [--sign <identity> [--timestamp]] <product-output-path>";

struct Distribution {
  std::string text;
  std::vector<std::string> components; // the pkg-ref file names
};

void collectReferences(xmlNode* node, std::vector<std::string>& names) {
  for (xmlNode* child = node; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE &&
        xmlStrcmp(child->name, reinterpret_cast<const xmlChar*>("pkg-ref")) == 0) {
      std::unique_ptr<xmlChar, decltype(xmlFree)> content(xmlNodeGetContent(child), xmlFree);
      std::string name = content ? reinterpret_cast<const char*>(content.get()) : "";
      const auto first = name.find_first_not_of(" \t\r\n");
      const auto last = name.find_last_not_of(" \t\r\n");
      name = first == std::string::npos ? "" : name.substr(first, last - first + 1);
      if (!name.empty() && name[0] == '#') name.erase(0, 1);
      if (!name.empty()) names.push_back(name);
    }
    collectReferences(child->children, names);
  }
}

Distribution readDistribution(const fs::path& path) {
  Distribution distribution;
  try {
    distribution.text = Files::read(path);
  } catch (const std::exception&) {
    throw ToolFailure("productbuild: error: Cannot read distribution \"" + path.string() + "\".");
  }
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
      xmlReadMemory(distribution.text.data(), static_cast<int>(distribution.text.size()),
                    path.c_str(), nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
      &xmlFreeDoc);
  if (!document) {
    const xmlError* error = xmlGetLastError();
    std::string reason = error != nullptr && error->message != nullptr ? error->message : "";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' '))
      reason.pop_back();
    throw ToolFailure(
        "productbuild: error: The distribution \"" + path.string() + "\" is not well-formed XML" +
        (error != nullptr ? " (line " + std::to_string(error->line) + ": " + reason + ")" : "") +
        ".");
  }
  xmlNode* top = xmlDocGetRootElement(document.get());
  if (top == nullptr ||
      xmlStrcmp(top->name, reinterpret_cast<const xmlChar*>("installer-gui-script")) != 0)
    throw ToolFailure("productbuild: error: The distribution \"" + path.string() +
                      "\" is not an installer-gui-script document.");
  collectReferences(top, distribution.components);
  return distribution;
}

} // namespace

int runProductbuild(const ToolContext& context) {
  std::optional<std::string> distributionPath, resources, sign;
  std::vector<std::string> packagePaths, positional;
  bool timestamp = true;
  const auto& arguments = context.arguments;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&]() {
      if (i + 1 >= arguments.size())
        throw ToolFailure("productbuild: error: " + argument + " needs a value\n" + usageText, 1);
      return arguments[++i];
    };
    if (argument == "--distribution")
      distributionPath = value();
    else if (argument == "--resources")
      resources = value();
    else if (argument == "--package-path")
      packagePaths.push_back(value());
    else if (argument == "--sign")
      sign = value();
    else if (argument == "--timestamp")
      timestamp = true;
    else if (argument == "--timestamp=none")
      timestamp = false;
    else if (argument == "--keychain" || argument == "--version" || argument == "--identifier")
      value();
    else if (argument == "--quiet")
      continue;
    else if (argument.rfind("--", 0) == 0)
      throw ToolFailure(
          "productbuild: error: unrecognized option \"" + argument + "\"\n" + usageText, 1);
    else
      positional.push_back(argument);
  }
  if (!distributionPath || positional.size() != 1) throw ToolFailure(usageText, 1);
  if (resources && !fs::is_directory(*resources))
    throw ToolFailure("productbuild: error: Resources path \"" + *resources +
                      "\" is not a directory.");
  const auto distribution = readDistribution(*distributionPath);
  if (distribution.components.empty())
    throw ToolFailure("productbuild: error: The distribution \"" + *distributionPath +
                      "\" does not name any component package.");
  packagePaths.push_back(Files::absolute(*distributionPath).parent_path().string());

  std::vector<std::pair<std::string, std::string>> components;
  for (const auto& name : distribution.components) {
    std::optional<fs::path> found;
    for (const auto& folder : packagePaths)
      if (fs::is_regular_file(fs::path(folder) / name)) {
        found = fs::path(folder) / name;
        break;
      }
    if (!found)
      throw ToolFailure("productbuild: error: Cannot locate component package \"" + name +
                        "\" (searched the package paths).");
    if (!FlatPackage::isPackage(*found))
      throw ToolFailure("productbuild: error: \"" + found->string() +
                        "\" is not a component package.");
    components.emplace_back(name, FileTrailer::content(*found));
  }
  const fs::path output = positional.front();
  Files::writeAtomically(output, FlatPackage::buildProduct(
                                     distribution.text,
                                     resources ? std::optional<fs::path>(*resources) : std::nullopt,
                                     components));
  std::string text;
  if (sign) {
    try {
      text = InstallerSigner::sign(context, output, *sign, timestamp, "productbuild");
    } catch (...) {
      std::error_code ignored;
      fs::remove(output, ignored);
      throw;
    }
  }
  Output::out(text + "productbuild: Wrote product to " + output.string() + "\n");
  return 0;
}

} // namespace macsim
