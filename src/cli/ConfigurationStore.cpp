#include "cli/ConfigurationStore.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "cli/CLIError.hpp"
#include "cli/TildeExpansion.hpp"
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

std::optional<CLIConfiguration> ConfigurationStore::load(const std::filesystem::path& file) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (status.type() == std::filesystem::file_type::not_found) return std::nullopt;
  if (error) throw unreadable(file, error.message());
  try {
    return CLIConfiguration::decode(readBytes(file));
  } catch (const ReadFailure& failure) {
    throw unreadable(file, failure.reason);
  } catch (const CLIConfiguration::CodingError& failure) {
    throw unreadable(file, failure.what());
  }
}

void ConfigurationStore::save(const CLIConfiguration& configuration,
                              const std::filesystem::path& file) {
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
