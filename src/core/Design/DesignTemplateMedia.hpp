#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "core/Design/EmbeddedDesignerMedia.hpp"
#include "core/Design/StickerItem.hpp"
#include "core/Support/FileURL.hpp"

namespace halyard {

// Moving a template's pictures in and out of the document: embedding imported files, writing
// embedded ones back to a cache folder, and pointing stickers at the restored files.
struct DesignTemplateMedia {
  static constexpr std::string_view cacheFolderName = "DesignerTemplateImportedMedia";

  // <user caches>/Brineworks/Halyard/DesignerTemplateImportedMedia
  static std::filesystem::path cacheRoot();

  // Every file URL among `importedMedia` whose contents can be read (others are skipped).
  static std::vector<EmbeddedDesignerMedia> embed(const std::vector<FileURL>& importedMedia);

  // Writes the embedded media into a new folder of the cache, one file each, named
  // "<n>_<name>.<extension>" with n counting from 1. Failures go to the note hook; an item that
  // cannot be written is skipped.
  static std::vector<FileURL> restoreToCache(const std::vector<EmbeddedDesignerMedia>& embedded);

  // The restored embedded media first, in their order, then the imported media that are file
  // URLs of existing files.
  static std::vector<FileURL> restore(const std::vector<FileURL>& importedMedia,
                                      const std::vector<EmbeddedDesignerMedia>& embeddedMedia);

  // Points picture stickers at restored files: by position (the n-th original URL to the n-th
  // restored one, when the restored file's name still matches), else leaves a sticker whose file
  // exists alone, else takes the first restored file with a matching name.
  static std::vector<StickerItem> remap(const std::vector<StickerItem>& stickers,
                                        const std::vector<FileURL>& original,
                                        const std::vector<FileURL>& restored);

  // True for a file URL that names an existing file.
  static bool fileExists(const FileURL& url);
};

} // namespace halyard
