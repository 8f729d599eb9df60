// dmg-background: draws the default background of a DMG window to a PNG with HalyardCore, the
// picture a build puts into .support/background.png.
//
//   dmg-background OUT.png [--window PRESET|WIDTHxHEIGHT] [--picture FILE] [--pills [R,G,B,A]]
//                          [--app-name NAME] [--arrow SYMBOL] [--reversed]
//
// The window is one of compact, small, balanced, large, standard (default compact) or a size in
// points; the PNG has twice as many pixels. --pills draws the label pills (white unless a colour
// with components from 0 to 1 is given) sized for NAME (default "Demo") and "Applications".
// Exit status 0 on success, 1 when nothing could be drawn or written, 2 for a usage error.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/DMG/DMGWindowArtwork.hpp"
#include "core/DMG/InstallerWindowPreset.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/Error.hpp"

namespace {

int usage() {
  std::fprintf(stderr, "usage: dmg-background OUT.png [--window PRESET|WIDTHxHEIGHT] "
                       "[--picture FILE] [--pills [R,G,B,A]] [--app-name NAME] "
                       "[--arrow SYMBOL] [--reversed]\n");
  return 2;
}

bool parseNumbers(const std::string& text, char separator, std::vector<double>& numbers) {
  numbers.clear();
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    const std::string part = text.substr(start, end == std::string::npos ? end : end - start);
    errno = 0;
    char* stop = nullptr;
    const double value = std::strtod(part.c_str(), &stop);
    if (part.empty() || errno != 0 || *stop != '\0' || !std::isfinite(value)) return false;
    numbers.push_back(value);
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool parseWindow(const std::string& text, halyard::FinderSize& window) {
  if (const auto preset = halyard::InstallerWindowPresets::fromRawValue(text)) {
    const auto size = halyard::windowSize(*preset);
    window = {size.width, size.height};
    return true;
  }
  std::vector<double> numbers;
  if (!parseNumbers(text, 'x', numbers) || numbers.size() != 2 || !(numbers[0] > 0) ||
      !(numbers[1] > 0))
    return false;
  window = {numbers[0], numbers[1]};
  return true;
}

} // namespace

int main(int argc, char** argv) {
  std::string output;
  std::string appName = "Demo";
  halyard::DMGBuildRequest request;
  request.dmgName = "Demo";
  request.arrowSymbol = "arrow.right";
  const auto compact = halyard::windowSize(halyard::InstallerWindowPreset::compact);
  request.installerWindowSize = {compact.width, compact.height};
  request.exportLabelPillColor = halyard::CodableColor::white();
  request.exportLabelTextColor = halyard::CodableColor::black();

  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--window") {
      if (!hasValue || !parseWindow(argv[++i], request.installerWindowSize)) return usage();
    } else if (argument == "--picture") {
      if (!hasValue) return usage();
      request.backgroundImageURL = argv[++i];
    } else if (argument == "--pills") {
      request.exportLabelPillEnabled = true;
      std::vector<double> colour;
      if (hasValue && parseNumbers(argv[i + 1], ',', colour)) {
        if (colour.size() != 4) return usage();
        request.exportLabelPillColor = {colour[0], colour[1], colour[2], colour[3]};
        ++i;
      }
    } else if (argument == "--app-name") {
      if (!hasValue) return usage();
      appName = argv[++i];
    } else if (argument == "--arrow") {
      if (!hasValue) return usage();
      request.arrowSymbol = argv[++i];
    } else if (argument == "--reversed") {
      request.isReversed = true;
    } else if (argument == "-h" || argument == "--help") {
      usage();
      return 0;
    } else if (output.empty() && !argument.empty() && argument.front() != '-') {
      output = argument;
    } else {
      return usage();
    }
  }
  if (output.empty()) return usage();

  const auto artwork = halyard::DMGWindowArtwork::make(request, appName);
  const auto png = artwork.backgroundPNG(request);
  if (!png) {
    std::fprintf(stderr, "dmg-background: the background could not be drawn\n");
    return 1;
  }
  try {
    halyard::AtomicFile::writeAll(output, *png);
  } catch (const halyard::Error& error) {
    std::fprintf(stderr, "dmg-background: %s\n", error.what());
    return 1;
  }
  std::printf("app %.1f,%.1f  Applications %.1f,%.1f  arrow %.1f,%.1f side %.0f\n",
              artwork.appIcon.x, artwork.appIcon.y, artwork.folderIcon.x, artwork.folderIcon.y,
              artwork.arrowCentre.x, artwork.arrowCentre.y, artwork.arrowSide);
  return 0;
}
