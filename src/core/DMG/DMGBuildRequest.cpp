#include "core/DMG/DMGBuildRequest.hpp"

#include "core/Design/DesignTemplate.hpp"

namespace halyard {

DMGBuildRequest DMGBuildRequest::styled(const DesignTemplate& designTemplate,
                                        const std::filesystem::path& backgroundImageURL) const {
  DMGBuildRequest copy = *this;
  copy.backgroundImageURL = backgroundImageURL;
  copy.exportLabelPillEnabled = designTemplate.canvas.exportLabelPillEnabled;
  copy.exportLabelPillColor = designTemplate.canvas.exportLabelPillColor;
  copy.exportLabelTextColor = designTemplate.canvas.exportLabelTextColor;
  return copy;
}

} // namespace halyard
