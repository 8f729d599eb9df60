#include "cli/release/SubmissionCache.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <nlohmann/json.hpp>

#include "core/Support/AtomicFile.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/SHA256.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace {

namespace fs = std::filesystem;

std::int64_t secondsNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::optional<SubmissionRecord> readRecord(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error) || fs::file_size(file, error) > 64 * 1024)
    return std::nullopt;
  std::string bytes;
  try {
    bytes = halyard::RegularFileReader::read(file);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const auto json = nlohmann::json::parse(bytes, nullptr, false);
  if (!json.is_object()) return std::nullopt;
  SubmissionRecord record;
  try {
    record.id = json.at("id").get<std::string>();
    record.target = json.at("target").get<std::string>();
    record.file = json.at("file").get<std::string>();
    record.sha256 = json.at("sha256").get<std::string>();
    record.keptAt = json.at("keptAt").get<std::int64_t>();
    // Records kept by earlier versions have no source: they are resumed only when named.
    if (json.contains("source")) record.source = json.at("source").get<std::string>();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
  if (!SubmissionCache::isSubmissionID(record.id) || file.stem() != record.id) return std::nullopt;
  return record;
}

// A private folder: created with its parents, then restricted to the user.
void makePrivateFolder(const fs::path& folder) {
  fs::create_directories(folder);
  if (::chmod(folder.c_str(), 0700) != 0)
    throw fs::filesystem_error("chmod", folder, std::error_code(errno, std::generic_category()));
}

} // namespace

fs::path SubmissionCache::standardFolder() {
  return halyard::UserFolders::caches() / "bosun" / "submissions";
}

SubmissionCache::SubmissionCache(fs::path folder) : folder_(std::move(folder)) {
  removeExpired();
}

bool SubmissionCache::isSubmissionID(std::string_view id) {
  return !id.empty() && id.size() <= 64 &&
         id.find_first_not_of("0123456789abcdefABCDEFghijklmnopqrstuvwxyzGHIJKLMNOPQRSTUVWXYZ-") ==
             std::string_view::npos;
}

std::optional<SubmissionRecord>
SubmissionCache::keep(const std::string& id, const fs::path& uploaded, const fs::path& target,
                      const std::string& source, std::string* error) const {
  if (!isSubmissionID(id)) return std::nullopt;
  remove(id);
  try {
    makePrivateFolder(folder_);
    const fs::path holder = folder_ / id;
    makePrivateFolder(holder);
    SubmissionRecord record{id, target, holder / uploaded.filename(), {}, secondsNow(), source};
    // A second name for the same bytes where the file system allows it, else a copy.
    std::error_code linked;
    fs::create_hard_link(uploaded, record.file, linked);
    if (linked) fs::copy_file(uploaded, record.file, fs::copy_options::overwrite_existing);
    record.sha256 = halyard::SHA256::hexDigestOfFile(record.file);
    const nlohmann::json json = {{"id", record.id},
                                 {"target", record.target.string()},
                                 {"file", record.file.string()},
                                 {"sha256", record.sha256},
                                 {"keptAt", record.keptAt},
                                 {"source", record.source}};
    halyard::AtomicFile::writeAll(folder_ / (id + ".json"), json.dump(2) + "\n", 0600);
    return record;
  } catch (const std::exception& failure) {
    if (error != nullptr) *error = failure.what();
    remove(id);
    return std::nullopt;
  }
}

std::optional<SubmissionRecord> SubmissionCache::find(const std::string& id) const {
  if (!isSubmissionID(id)) return std::nullopt;
  return readRecord(folder_ / (id + ".json"));
}

std::optional<SubmissionRecord> SubmissionCache::findForTarget(const fs::path& target) const {
  std::optional<SubmissionRecord> newest;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder_, error)) {
    if (entry.path().extension() != ".json") continue;
    const auto record = readRecord(entry.path());
    if (record && record->target == target && (!newest || record->keptAt > newest->keptAt))
      newest = record;
  }
  return newest;
}

void SubmissionCache::remove(const std::string& id) const noexcept {
  if (!isSubmissionID(id)) return;
  std::error_code ignored;
  fs::remove(folder_ / (id + ".json"), ignored);
  fs::remove_all(folder_ / id, ignored);
}

void SubmissionCache::removeExpired() const noexcept {
  const std::int64_t now = secondsNow();
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder_, error)) {
    const fs::path& path = entry.path();
    const std::string id = path.stem().string();
    if (path.extension() == ".json") {
      const auto record = readRecord(path);
      if (!record || now - record->keptAt > lifetime) remove(id);
    } else if (isSubmissionID(id) && !fs::exists(folder_ / (id + ".json"), error)) {
      // A kept file whose record was never written (the run ended in between); one being kept
      // right now by another run is young.
      std::error_code ignored;
      const auto age = fs::file_time_type::clock::now() - fs::last_write_time(path, ignored);
      if (!ignored && age > std::chrono::seconds(lifetime)) fs::remove_all(path, ignored);
    }
  }
}

} // namespace bosun
