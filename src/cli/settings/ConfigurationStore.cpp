#include "cli/settings/ConfigurationStore.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/settings/SettingDefinition.hpp"
#include "cli/settings/TildeExpansion.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace {

std::filesystem::path homeFolder(const Environment& environment) {
  if (auto home = environment.nonEmpty("HOME")) return *home;
  return halyard::UserFolders::home();
}

// Why a file could not be read; thrown inside this unit only.
struct ReadFailure {
  std::string reason;
};

std::string systemReason(int error) {
  return std::generic_category().message(error);
}

// The file's bytes, at most one more than a configuration may have (so that decoding can refuse
// an oversized file without this reading all of it).
std::string readBytes(const std::filesystem::path& file) {
  // Non-blocking, so that a FIFO in the file's place cannot hang the program.
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) throw ReadFailure{systemReason(errno)};
  struct Closer {
    int descriptor;
    ~Closer() { ::close(descriptor); }
  } closer{descriptor};

  struct stat facts {};
  if (::fstat(descriptor, &facts) != 0) throw ReadFailure{systemReason(errno)};
  if (S_ISDIR(facts.st_mode)) throw ReadFailure{systemReason(EISDIR)};
  if (!S_ISREG(facts.st_mode)) throw ReadFailure{"It is not a regular file."};

  const size_t limit = CLIConfiguration::maximumDocumentSize + 1;
  std::string bytes;
  char buffer[16384];
  while (bytes.size() < limit) {
    const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw ReadFailure{systemReason(errno)};
    }
    if (count == 0) break;
    bytes.append(buffer, static_cast<size_t>(count));
  }
  return bytes;
}

CLIError unreadable(const std::filesystem::path& file, const std::string& reason) {
  return CLIError(ExitCode::configuration, file.string() + " could not be read: " + reason,
                  ConfigurationStore::unreadableHint);
}

CLIError unsaved(const std::filesystem::path& file, const std::string& reason) {
  return CLIError(ExitCode::configuration, "Could not save " + file.string() + ": " + reason);
}

} // namespace

std::filesystem::path ConfigurationStore::userConfigURL(const std::optional<std::string>& override,
                                                        const Environment& environment) {
  if (override && !override->empty()) return expandingTilde(*override, homeFolder(environment));
  const std::filesystem::path base = environment.nonEmpty("XDG_CONFIG_HOME")
                                         .value_or((homeFolder(environment) / ".config").string());
  return base / "bosun" / "config.json";
}

std::filesystem::path
ConfigurationStore::userConfigURL(const std::optional<std::string>& override) {
  return userConfigURL(override, Environment::current());
}

namespace {

// The number of single-character edits between two keys, letter case ignored.
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Unknown keys are ignored, but a mistyped or mis-cased one would silently lose its setting: each
// gets a warning naming the nearest known key.
void warnAboutUnknownKeys(const std::filesystem::path& file, const std::string& bytes) {
  const auto document = nlohmann::json::parse(bytes, nullptr, false);
  if (!document.is_object()) return;
  for (const auto& [key, value] : document.items()) {
    const auto& settings = SettingDefinition::all();
    if (std::any_of(settings.begin(), settings.end(),
                    [&key](const SettingDefinition& setting) { return setting.key == key; }))
      continue;
    const auto nearest = std::min_element(
        settings.begin(), settings.end(), [&key](const auto& left, const auto& right) {
          return editDistance(key, left.key) < editDistance(key, right.key);
        });
    if (nearest == settings.end()) continue;
    Console::shared().warning("Unknown key \"" + key + "\" in " + file.string() +
                              " is ignored. Did you mean \"" + nearest->key + "\"?");
  }
}

} // namespace

std::optional<CLIConfiguration> ConfigurationStore::load(const std::filesystem::path& file) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (status.type() == std::filesystem::file_type::not_found) return std::nullopt;
  if (error) throw unreadable(file, error.message());
  try {
    const std::string bytes = readBytes(file);
    auto configuration = CLIConfiguration::decode(bytes);
    warnAboutUnknownKeys(file, bytes);
    return configuration;
  } catch (const ReadFailure& failure) {
    throw unreadable(file, failure.reason);
  } catch (const CLIConfiguration::CodingError& failure) {
    throw unreadable(file, failure.what());
  }
}

void ConfigurationStore::save(const CLIConfiguration& configuration,
                              const std::filesystem::path& givenFile) {
  // A configuration file kept as a link (into a dotfiles repository, say) stays a link: the file
  // it leads to is the one replaced.
  std::filesystem::path file = givenFile;
  std::error_code linkError;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, linkError))) {
    const auto target = std::filesystem::weakly_canonical(file, linkError);
    if (!linkError) file = target;
  }
  const std::filesystem::path folder = file.parent_path();
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw unsaved(file, error.message());
  }
  std::string bytes;
  try {
    bytes = configuration.encoded();
  } catch (const CLIConfiguration::CodingError& failure) {
    throw unsaved(file, failure.what());
  }
  try {
    halyard::AtomicFile::writeAll(file, bytes, 0600);
  } catch (const halyard::Error& failure) {
    throw unsaved(file, systemReason(failure.code()));
  }
  // The file was made with 0600 already; this only matters when the umask interfered, and a
  // failure here is not worth failing the save for.
  (void)::chmod(file.c_str(), 0600);
}

} // namespace bosun
