#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "core/Design/DesignSpec.hpp"
#include "core/Design/EmbeddedDesignerMedia.hpp"
#include "core/Support/FileURL.hpp"

namespace halyard {

// A Designer template document (.hyd): the canvas, the pictures it uses (as URLs and embedded)
// and two settings of the designer's preview that this program reads but does not use.
struct DesignTemplate {
  static constexpr std::string_view fileExtension = "hyd";

  DesignSpec canvas;
  std::vector<FileURL> importedMedia;
  std::vector<EmbeddedDesignerMedia> embeddedMedia;
  bool showInstallerOverlay = true;
  bool installerPreviewReversed = false;

  // Reads the whole file and decodes it. A read error (halyard::Error, "Halyard.fileRead") or a
  // decoding error (DesignTemplateError) is thrown as it is.
  static DesignTemplate load(const std::filesystem::path& path);

  // Decodes a document held in memory; throws DesignTemplateError.
  static DesignTemplate decode(std::string_view json);

  // The same template with its embedded media restored to the cache and the stickers pointed at
  // the restored files.
  DesignTemplate restored() const;

  // In sticker order, the URL of every picture sticker whose file does not exist.
  std::vector<FileURL> missingMedia() const;

  friend bool operator==(const DesignTemplate&, const DesignTemplate&) = default;
};

} // namespace halyard
