#include "core/DMG/DMGTemplateBackground.hpp"

#include "core/DMG/ArtworkFunctions.hpp"
#include "core/Support/HalyardCoreLog.hpp"

#include <system_error>

namespace halyard {

DMGTemplateBackground::Failure::Failure(Kind kind, std::vector<FileURL> urls,
                                        const std::string& description)
    : Error(domainName, static_cast<int>(kind), description), kind_(kind), urls_(std::move(urls)) {}

DMGTemplateBackground::Failure
DMGTemplateBackground::Failure::missingMedia(std::vector<FileURL> urls) {
  std::string names;
  for (const FileURL& url : urls) {
    if (!names.empty()) names += ", ";
    names += url.path().filename().string();
  }
  return Failure(Kind::missingMedia, std::move(urls),
                 "The template references media that could not be found: " + names);
}

DMGTemplateBackground::Prepared
DMGTemplateBackground::prepare(const std::filesystem::path& templateURL,
                               const std::filesystem::path& outputFolder) {
  const DesignTemplate restored = DesignTemplate::load(templateURL).restored();
  if (auto missing = restored.missingMedia(); !missing.empty())
    throw Failure::missingMedia(std::move(missing));
  std::error_code error;
  std::filesystem::create_directories(outputFolder, error);
  if (error) {
    throw Error(Failure::domainName, error.value(),
                "The folder " + outputFolder.string() +
                    " could not be created: " + error.message());
  }
  const auto imageURL = outputFolder / imageFileName;
  ArtworkFunctions::current().renderTemplatePNG(restored.canvas, 1.0, imageURL);
  HalyardCoreLog::noteMessage("Template background rendered from " +
                              templateURL.filename().string());
  return {restored, imageURL};
}

} // namespace halyard
