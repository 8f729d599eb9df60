#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace bosun {

struct ParsedArguments;

// The daily update check of interactive runs and its one-line notice.
//
// The check runs on a detached thread while the command runs and only writes the cache; the
// notice printed after the command reads what an earlier run cached, so the process never waits
// for the network and ends when its command ends.
struct UpdateNotice {
  // update-check.json, beside the user config file.
  struct Cache {
    std::chrono::system_clock::time_point checkedAt;
    std::optional<std::string> latestVersion;
  };

  static constexpr std::chrono::seconds checkInterval{86400};

  // A started check, for tests that wait for it; the thread is detached either way.
  class BackgroundCheck {
  public:
    bool isStarted() const { return state_ != nullptr; }
    // Waits up to `limit` for the check to end; true when it has.
    bool waitFor(std::chrono::milliseconds limit) const;

  private:
    friend struct UpdateNotice;
    struct State {
      std::mutex lock;
      std::condition_variable ended;
      bool done = false;
    };
    std::shared_ptr<State> state_;
  };

  // The session is interactive and BOSUN_NO_UPDATE_CHECK is not set.
  static bool isAllowed();

  // The cache file for the --config in force.
  static std::filesystem::path cacheURL(const ParsedArguments& parsed);
  // No value when the file is missing or does not decode.
  static std::optional<Cache> loadCache(const std::filesystem::path& file);
  // Creates the folder and replaces the file atomically; errors are ignored.
  static void saveCache(const std::filesystem::path& file, const Cache& cache);
  // Whether a new check is due: no cache, or one checked 24 hours ago or more (or in the
  // future, after the clock was set back).
  static bool isDue(const std::optional<Cache>& cache, std::chrono::system_clock::time_point now);

  // When allowed and due, fetches the manifest on a detached thread and caches its version.
  // Failures are silent.
  static BackgroundCheck startBackgroundCheck(const ParsedArguments& parsed);
  // The same without the isAllowed test, for a given cache file.
  static BackgroundCheck startBackgroundCheck(const std::filesystem::path& cacheFile);

  // After the command: when allowed and the cached version is newer than this one, prints
  // "Bosun X is available (you have Y). Run `bosun update`, or update it from Halyard Settings >
  // Bosun." as information.
  static void show(const ParsedArguments& parsed);
  // The notice for a cache, or no value.
  static std::optional<std::string> noticeText(const std::optional<Cache>& cache,
                                               const std::string& current);
};

} // namespace bosun
