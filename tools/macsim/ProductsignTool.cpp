#include "FileTrailer.hpp"
#include "Files.hpp"
#include "FlatPackage.hpp"
#include "InstallerSigner.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText =
    "Usage: productsign [options] --sign <identity> <input-product-path> <output-product-path>\n"
    "       productsign [options] --sign <identity> <input-package-path> <output-package-path>";

} // namespace

int runProductsign(const ToolContext& context) {
  std::optional<std::string> identity;
  bool timestamp = true;
  std::vector<std::string> paths;
  const auto& arguments = context.arguments;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--sign") {
      if (i + 1 >= arguments.size()) throw ToolFailure(usageText, 1);
      identity = arguments[++i];
    } else if (argument == "--timestamp") {
      timestamp = true;
    } else if (argument == "--timestamp=none") {
      timestamp = false;
    } else if (argument == "--keychain" || argument == "--cert") {
      ++i;
    } else if (argument.rfind("--", 0) == 0) {
      throw ToolFailure(
          "productsign: error: unrecognized option \"" + argument + "\"\n" + usageText, 1);
    } else {
      paths.push_back(argument);
    }
  }
  if (!identity || paths.size() != 2) throw ToolFailure(usageText, 1);
  const fs::path input = paths[0], output = paths[1];
  if (!fs::is_regular_file(input))
    throw ToolFailure("productsign: error: Could not open package at \"" + input.string() + "\".");
  if (!FlatPackage::isPackage(input))
    throw ToolFailure("productsign: error: \"" + input.string() +
                      "\" is not a product archive or a flat package.");
  if (Files::absolute(input) == Files::absolute(output))
    throw ToolFailure("productsign: error: The output path must differ from the input path.");
  // Write to a neighbour first, so that a failed signing leaves no half-signed output.
  const fs::path staging = output.string() + ".productsign";
  Files::writeAtomically(staging, FileTrailer::content(input));
  std::string text;
  try {
    text = InstallerSigner::sign(context, staging, *identity, timestamp, "productsign");
  } catch (...) {
    std::error_code ignored;
    fs::remove(staging, ignored);
    throw;
  }
  fs::rename(staging, output);
  Output::out(text + "productsign: Wrote signed product archive to " + output.string() + "\n");
  return 0;
}

} // namespace macsim
