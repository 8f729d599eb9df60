#include "StateStore.hpp"

#include "Files.hpp"

#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace macsim {

namespace {

class FolderLock {
public:
  FolderLock(const fs::path& folder, int operation) {
    fs::create_directories(folder);
    descriptor_ = ::open((folder / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor_ < 0) throw std::runtime_error("macsim: cannot lock " + folder.string());
    while (::flock(descriptor_, operation) != 0) {
    }
  }
  ~FolderLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

private:
  int descriptor_ = -1;
};

nlohmann::json load(const fs::path& file, const nlohmann::json& fallback) {
  if (!fs::exists(file)) return fallback;
  auto document = nlohmann::json::parse(Files::read(file), nullptr, false);
  if (document.is_discarded()) return fallback;
  return document;
}

} // namespace

nlohmann::json StateStore::read(const std::string& name, const nlohmann::json& fallback) const {
  if (!fs::exists(folder_)) return fallback;
  FolderLock lock(folder_, LOCK_SH);
  return load(folder_ / name, fallback);
}

void StateStore::update(const std::string& name, const nlohmann::json& fallback,
                        const std::function<void(nlohmann::json&)>& change) const {
  FolderLock lock(folder_, LOCK_EX);
  const fs::path file = folder_ / name;
  auto document = load(file, fallback);
  change(document);
  fs::create_directories(file.parent_path());
  Files::writeAtomically(
      file, document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

} // namespace macsim
