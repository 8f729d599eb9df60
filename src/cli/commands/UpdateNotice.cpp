#include "cli/commands/UpdateNotice.hpp"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/commands/HelpCommand.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/TerminalSession.hpp"
#include "cli/settings/ConfigurationStore.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/Text.hpp"
#include "core/Updates/BosunRelease.hpp"
#include "core/Updates/ReleaseVersion.hpp"

namespace bosun {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

namespace {

constexpr std::uintmax_t cacheLimit = 64 * 1024;

std::string isoTime(Clock::time_point time) {
  const std::time_t seconds = Clock::to_time_t(time);
  std::tm parts{};
  ::gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::optional<Clock::time_point> parseISOTime(const std::string& text) {
  std::tm parts{};
  std::istringstream stream(text);
  stream >> std::get_time(&parts, "%Y-%m-%dT%H:%M:%SZ");
  if (stream.fail()) return std::nullopt;
  return Clock::from_time_t(::timegm(&parts));
}

} // namespace

bool UpdateNotice::BackgroundCheck::waitFor(std::chrono::milliseconds limit) const {
  if (!state_) return true;
  std::unique_lock<std::mutex> guard(state_->lock);
  return state_->ended.wait_for(guard, limit, [&] { return state_->done; });
}

bool UpdateNotice::isAllowed() {
  return TerminalSession::isInteractive() && std::getenv("BOSUN_NO_UPDATE_CHECK") == nullptr;
}

fs::path UpdateNotice::cacheURL(const ParsedArguments& parsed) {
  return ConfigurationStore::userConfigURL(parsed.value("config")).parent_path() /
         "update-check.json";
}

std::optional<UpdateNotice::Cache> UpdateNotice::loadCache(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error) || fs::file_size(file, error) > cacheLimit || error)
    return std::nullopt;
  std::ifstream stream(file, std::ios::binary);
  const auto object = nlohmann::json::parse(stream, nullptr, false);
  if (!object.is_object()) return std::nullopt;
  const auto checkedAt = object.find("checkedAt");
  if (checkedAt == object.end() || !checkedAt->is_string()) return std::nullopt;
  const auto time = parseISOTime(checkedAt->get<std::string>());
  if (!time) return std::nullopt;
  Cache cache{*time, std::nullopt};
  const auto latest = object.find("latestVersion");
  if (latest != object.end() && latest->is_string())
    cache.latestVersion = latest->get<std::string>();
  return cache;
}

void UpdateNotice::saveCache(const fs::path& file, const Cache& cache) {
  nlohmann::json object = {{"checkedAt", isoTime(cache.checkedAt)}};
  if (cache.latestVersion) object["latestVersion"] = *cache.latestVersion;
  try {
    fs::create_directories(file.parent_path());
    halyard::AtomicFile::writeAll(file, object.dump() + "\n", 0600);
  } catch (const std::exception&) {
    // The cache is a convenience: a folder that cannot be written only means another check.
  }
}

bool UpdateNotice::isDue(const std::optional<Cache>& cache, Clock::time_point now) {
  if (!cache) return true;
  return now - cache->checkedAt >= checkInterval || cache->checkedAt > now;
}

UpdateNotice::BackgroundCheck UpdateNotice::startBackgroundCheck(const ParsedArguments& parsed) {
  if (!isAllowed()) return {};
  return startBackgroundCheck(cacheURL(parsed));
}

UpdateNotice::BackgroundCheck UpdateNotice::startBackgroundCheck(const fs::path& cacheFile) {
  if (!isDue(loadCache(cacheFile), Clock::now())) return {};
  BackgroundCheck check;
  check.state_ = std::make_shared<BackgroundCheck::State>();
  try {
    std::thread([cacheFile, state = check.state_] {
      try {
        const auto release = halyard::BosunRelease::fetchLatest(false);
        saveCache(cacheFile, {Clock::now(), release.version});
      } catch (...) {
      }
      std::lock_guard<std::mutex> guard(state->lock);
      state->done = true;
      state->ended.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return {};
  }
  return check;
}

std::optional<std::string> UpdateNotice::noticeText(const std::optional<Cache>& cache,
                                                    const std::string& current) {
  if (!cache || !halyard::ReleaseVersion::isNewer(cache->latestVersion, current))
    return std::nullopt;
  return "Bosun " + halyard::text::printable(*cache->latestVersion) + " is available (you have " +
         current + "). Run `bosun update`, or update it from Halyard Settings > Bosun.";
}

void UpdateNotice::show(const ParsedArguments& parsed) {
  if (!isAllowed()) return;
  if (const auto text = noticeText(loadCache(cacheURL(parsed)), HelpCommand::version()))
    Console::shared().info(*text);
}

} // namespace bosun
