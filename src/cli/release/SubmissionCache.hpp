#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace bosun {

// One submission kept for later: the exact file that was uploaded (signing again would make a
// different file, one Apple has never seen), the file the result belongs at, and when it was kept.
struct SubmissionRecord {
  std::string id;
  std::filesystem::path target;
  std::filesystem::path file; // the kept copy of the uploaded file
  std::string sha256;         // of the kept copy
  std::int64_t keptAt = 0;    // seconds since 1970 (UTC)
  // The digest of what the uploaded file was made from (the file before it was signed, or a
  // release's inputs): a run resumes the submission only from the same source. Empty when not
  // known.
  std::string source;
};

// The submissions whose wait ended without a verdict, kept so that the verdict can be collected
// later without uploading again. Each is a record "<id>.json" and a folder "<id>" holding the
// kept file, in a folder of the user's cache (private to the user: mode 0700). A record is
// written atomically and only after its file is complete; it holds no credentials. Records older
// than `lifetime` are removed with their files whenever the cache is opened.
class SubmissionCache {
public:
  static constexpr std::int64_t lifetime = 24 * 3600;

  // The user's cache folder + "bosun/submissions".
  static std::filesystem::path standardFolder();

  explicit SubmissionCache(std::filesystem::path folder = standardFolder());

  // Whether `id` can name a submission (letters, digits and hyphens, 1 to 64 of them), so that
  // it is safe as a file name.
  static bool isSubmissionID(std::string_view id);

  // Keeps a copy of `uploaded` for `target`, made from `source` (a digest, or empty). Never
  // throws: a cache that cannot be written only costs the resumption (the reason is returned as
  // the error).
  std::optional<SubmissionRecord> keep(const std::string& id, const std::filesystem::path& uploaded,
                                       const std::filesystem::path& target,
                                       const std::string& source = {},
                                       std::string* error = nullptr) const;
  std::optional<SubmissionRecord> find(const std::string& id) const;
  // The newest record whose target is `target`.
  std::optional<SubmissionRecord> findForTarget(const std::filesystem::path& target) const;
  // Removes a record and its kept file; never throws.
  void remove(const std::string& id) const noexcept;

  const std::filesystem::path& folder() const { return folder_; }

private:
  void removeExpired() const noexcept;

  std::filesystem::path folder_;
};

} // namespace bosun
