#include "core/Finder/FileFacts.hpp"

namespace halyard {

FileFacts FileFacts::system() {
  FileFacts facts;
  facts.creationTime = [](const std::filesystem::path& path) {
    return Platform::creationTime(path);
  };
  facts.fileNumber = [](const std::filesystem::path& path) {
    return std::optional<std::uint64_t>(Platform::fileNumber(path));
  };
  facts.volumeName = [](const std::filesystem::path& path) { return Platform::volumeName(path); };
  return facts;
}

} // namespace halyard
