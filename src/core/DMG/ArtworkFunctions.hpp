#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/DMG/DMGFinderLayout.hpp"
#include "core/Design/DesignSpec.hpp"

namespace halyard {

struct DMGBuildRequest;
struct DMGWindowArtwork;
struct FinderWindowScene;

// The drawing code (cairo, pango, librsvg, gdk-pixbuf, libpng) as the rest of the library calls
// it. bosun loads it as the module bosun-artwork when it first draws, so that a run that draws
// nothing never loads those libraries; tests, utilities and the desktop app link it in.
struct ArtworkFunctions {
  static constexpr const char* moduleName = "bosun-artwork";
  // The module's one exported function, returning its table. The suffix changes with the table's
  // layout, so a stale module is refused instead of called wrongly.
  static constexpr const char* entryName = "bosun_artwork_functions_v2";

  // DMGArtwork::labelPadSize.
  FinderSize (*labelPadSize)(std::string_view text) = nullptr;
  // What DMGWindowArtwork::backgroundPNG returns.
  std::optional<std::string> (*windowBackgroundPNG)(const DMGWindowArtwork& artwork,
                                                    const DMGBuildRequest& request) = nullptr;
  // What FinderWindowScene::png returns.
  std::optional<std::string> (*windowPreviewPNG)(const FinderWindowScene& scene) = nullptr;
  // DesignRenderer::renderPNG.
  void (*renderTemplatePNG)(const DesignSpec& canvas, double scale,
                            const std::filesystem::path& path) = nullptr;

  // The table in use: the drawing code linked into the program, or the module's. Throws
  // ModuleLoadError when the module cannot be loaded.
  static const ArtworkFunctions& current();
  // The drawing code's own table (built only where the drawing code is).
  static const ArtworkFunctions& drawing();
};

} // namespace halyard
