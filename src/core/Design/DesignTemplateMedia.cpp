#include "core/Design/DesignTemplateMedia.hpp"

#include <map>
#include <optional>
#include <string>
#include <system_error>

#include "core/Support/AtomicFile.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UUID.hpp"
#include "core/Support/UserFolders.hpp"

namespace halyard {

namespace {

// Names in a document are data from outside: they must stay one file name inside the cache.
std::string safeFileNamePart(std::string text) {
  for (auto& c : text) {
    if (c == '/' || c == '\0') c = '_';
  }
  return text;
}

std::string extensionOf(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  return extension.empty() ? extension : extension.substr(1);
}

// A restored file stands for `original` when its name without extension ends with the original's
// and the extensions are equal, both ignoring case.
bool namesMatch(const FileURL& restored, const FileURL& original) {
  const auto restoredPath = restored.path();
  const auto originalPath = original.path();
  using text::caseFolded;
  if (caseFolded(extensionOf(restoredPath)) != caseFolded(extensionOf(originalPath))) return false;
  return caseFolded(restoredPath.stem().string())
      .ends_with(caseFolded(originalPath.stem().string()));
}

} // namespace

std::filesystem::path DesignTemplateMedia::cacheRoot() {
  return UserFolders::caches() / "Brineworks" / "Halyard" / std::string(cacheFolderName);
}

bool DesignTemplateMedia::fileExists(const FileURL& url) {
  if (!url.isFileURL()) return false;
  std::error_code error;
  return std::filesystem::exists(url.path(), error);
}

std::vector<EmbeddedDesignerMedia>
DesignTemplateMedia::embed(const std::vector<FileURL>& importedMedia) {
  std::vector<EmbeddedDesignerMedia> result;
  for (const auto& url : importedMedia) {
    if (!url.isFileURL()) continue;
    const auto path = url.path();
    try {
      std::string data = RegularFileReader::read(path);
      const std::string extension = extensionOf(path);
      result.push_back(
          {path.stem().string(), extension.empty() ? "bin" : extension, std::move(data)});
    } catch (const Error&) {
      // Unreadable media are left out; the template still saves.
    }
  }
  return result;
}

std::vector<FileURL>
DesignTemplateMedia::restoreToCache(const std::vector<EmbeddedDesignerMedia>& embedded) {
  if (embedded.empty()) return {};

  const auto root = cacheRoot();
  std::error_code error;
  std::filesystem::create_directories(root, error);
  if (error || !std::filesystem::is_directory(root)) {
    if (!error) error = std::make_error_code(std::errc::not_a_directory);
    HalyardCoreLog::noteMessage("Designer template media cache could not be prepared: " +
                                error.message());
    return {};
  }
  const auto folder = root / UUID::randomString();
  if (!std::filesystem::create_directory(folder, error) || error) {
    if (!error) error = std::make_error_code(std::errc::file_exists);
    HalyardCoreLog::noteMessage("Designer template media folder could not be prepared: " +
                                error.message());
    return {};
  }

  std::vector<FileURL> restored;
  for (size_t i = 0; i < embedded.size(); ++i) {
    const auto& item = embedded[i];
    const std::string number = std::to_string(i + 1);
    std::string base = text::trimmed(item.originalFilename);
    if (base.empty()) base = "EmbeddedMedia_" + number;
    const auto target = folder / (number + "_" + safeFileNamePart(base) + "." +
                                  safeFileNamePart(item.fileExtension));
    try {
      AtomicFile::writeAll(target, item.data);
      restored.push_back(FileURL::fromPath(target));
    } catch (const Error& failure) {
      HalyardCoreLog::noteMessage("Embedded media " + base +
                                  " could not be restored: " + failure.description());
    }
  }
  return restored;
}

std::vector<FileURL>
DesignTemplateMedia::restore(const std::vector<FileURL>& importedMedia,
                             const std::vector<EmbeddedDesignerMedia>& embeddedMedia) {
  std::vector<FileURL> result;
  if (!embeddedMedia.empty()) result = restoreToCache(embeddedMedia);
  for (const auto& url : importedMedia) {
    if (fileExists(url)) result.push_back(url);
  }
  return result;
}

std::vector<StickerItem> DesignTemplateMedia::remap(const std::vector<StickerItem>& stickers,
                                                    const std::vector<FileURL>& original,
                                                    const std::vector<FileURL>& restored) {
  if (restored.empty()) return stickers;

  // Position by position. A pair whose names disagree is dropped: it means an item was left out
  // when the media were embedded, and the positions behind it no longer correspond.
  std::map<std::string, FileURL> mapped;
  for (size_t i = 0; i < std::min(original.size(), restored.size()); ++i) {
    if (namesMatch(restored[i], original[i])) {
      mapped.emplace(original[i].absoluteString(), restored[i]);
    }
  }

  std::vector<StickerItem> result = stickers;
  for (auto& sticker : result) {
    const FileURL* url = sticker.asset.source.fileURL();
    if (url == nullptr) continue;
    if (auto found = mapped.find(url->absoluteString()); found != mapped.end()) {
      sticker.asset.source = StickerSource::file(found->second);
      continue;
    }
    if (fileExists(*url)) continue;
    for (const auto& candidate : restored) {
      if (namesMatch(candidate, *url)) {
        sticker.asset.source = StickerSource::file(candidate);
        break;
      }
    }
  }
  return result;
}

} // namespace halyard
