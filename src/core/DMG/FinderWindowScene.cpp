#include "core/DMG/FinderWindowScene.hpp"

#include <cmath>

#include "core/DMG/AppIconFile.hpp"
#include "core/DMG/ArtworkFunctions.hpp"
#include "core/DMG/DMGBuilder.hpp"
#include "core/DMG/DMGWindowArtwork.hpp"
#include "core/Finder/FinderLayoutFile.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

// Where the Finder puts an icon stored at `centre`: the layout file keeps whole points.
FinderPoint stored(FinderPoint centre) {
  return {std::round(centre.x), std::round(centre.y)};
}

} // namespace

std::string FinderWindowScene::label(const std::string& fileName) {
  const std::filesystem::path path(fileName);
  if (text::lowercasedASCII(path.extension().string()) == ".app") return path.stem().string();
  return fileName;
}

FinderWindowScene FinderWindowScene::forRelease(const DMGBuildRequest& request,
                                                const std::filesystem::path& appSource,
                                                std::optional<std::string> backgroundPNG) {
  const DMGWindowArtwork artwork = DMGWindowArtwork::make(request, appSource.stem().string());
  FinderWindowScene scene;
  scene.title = DMGBuilder::volumeName(request.dmgName);
  // The window settings keep whole points (the fraction dropped); the icon size is computed
  // from the exact size.
  scene.windowSize = {std::trunc(artwork.windowSize.width), std::trunc(artwork.windowSize.height)};
  scene.iconSize = FinderLayoutFile::iconSize(artwork.windowSize);
  scene.textSize = 12;
  if (backgroundPNG) scene.background = Picture{std::move(*backgroundPNG), "png"};
  scene.labelColour = request.exportLabelTextColor;
  // An archive's app is only known once unpacked: until then it shows the generic picture.
  const bool isBundle = text::lowercasedASCII(appSource.extension().string()) == ".app";
  Item app{appSource.stem().string(), stored(artwork.appIcon), Icon::app,
           isBundle ? AppIconFile::forApp(appSource) : std::nullopt};
  Item applications{"Applications", stored(artwork.folderIcon), Icon::applications, std::nullopt};
  scene.items = {std::move(app), std::move(applications)};
  return scene;
}

std::optional<std::string> FinderWindowScene::png() const {
  return ArtworkFunctions::current().windowPreviewPNG(*this);
}

} // namespace halyard
