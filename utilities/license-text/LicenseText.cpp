// license-text: prints the text HalyardCore reads from a license document, for trying the readers
// by hand.
//
//   license-text FILE [--runs | --rtf]
//
// Plain text by default (as the disk-image license shows it); --runs lists the styled runs with
// their attributes, --rtf prints the RTF the installer would get. Exit status 0 when the document
// has text, 1 when it has none (the reader's debug line goes to standard error), 2 for a usage
// error.
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "core/Legal/LicenseDocumentReader.hpp"
#include "core/Legal/LicenseFormatter.hpp"
#include "core/Support/HalyardCoreLog.hpp"

namespace {

int usage() {
  std::fprintf(stderr, "usage: license-text FILE [--runs | --rtf]\n");
  return 2;
}

void printRuns(const halyard::StyledText& text) {
  for (const auto& run : text.runs) {
    const auto& attributes = run.attributes;
    std::cout << "[" << attributes.fontFamily.value_or("system");
    if (attributes.fontSize) std::cout << " " << *attributes.fontSize << "pt";
    if (attributes.bold) std::cout << " bold";
    if (attributes.italic) std::cout << " italic";
    if (attributes.underline) std::cout << " underline";
    if (attributes.color) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "#%02X%02X%02X", attributes.color->red,
                    attributes.color->green, attributes.color->blue);
      std::cout << " " << hex;
    }
    std::cout << "] " << run.text << "\n";
  }
}

} // namespace

int main(int argc, char** argv) {
  std::string file;
  std::string_view mode = "--plain";
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--runs" || argument == "--rtf")
      mode = argument;
    else if (!argument.empty() && argument[0] != '-' && file.empty())
      file = argument;
    else
      return usage();
  }
  if (file.empty()) return usage();

  halyard::HalyardCoreLog::debug = [](const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
  };
  const auto text = halyard::LicenseDocumentReader::read(file);
  if (!text) {
    std::fprintf(stderr, "license-text: %s has no text\n", file.c_str());
    return 1;
  }
  if (mode == "--runs")
    printRuns(*text);
  else if (mode == "--rtf")
    std::cout << halyard::LicenseFormatter::rtfData(*text) << "\n";
  else
    std::cout << halyard::LicenseFormatter::plainText(*text) << "\n";
  return 0;
}
