#include "cli/commands/InputFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/console/CLIError.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

void InputFile::requireExisting(const std::string& typed, const std::filesystem::path& path,
                                const std::string& name) {
  const std::string shown = halyard::text::printable(name);
  if (typed.empty()) throw CLIError(ExitCode::input, "No file was given.");
  struct stat facts {};
  if (::stat(path.c_str(), &facts) == 0) return;
  const int reason = errno;
  if (reason == ENAMETOOLONG) throw CLIError(ExitCode::input, shown + ": the name is too long.");
  if (::lstat(path.c_str(), &facts) == 0 && S_ISLNK(facts.st_mode))
    throw CLIError(ExitCode::input, shown + " is a link to a missing file.");
  if (reason == ENOENT || reason == ENOTDIR)
    throw CLIError(ExitCode::input, shown + " does not exist.");
  throw CLIError(ExitCode::input, shown + " could not be read: " + std::strerror(reason) + ".");
}

void InputFile::requireReadableFile(const std::filesystem::path& path, const std::string& name) {
  const std::string shown = halyard::text::printable(name);
  struct stat facts {};
  if (::stat(path.c_str(), &facts) != 0) {
    throw CLIError(ExitCode::input, shown + " could not be read: " + std::strerror(errno) + ".");
  }
  if (S_ISDIR(facts.st_mode)) throw CLIError(ExitCode::input, shown + " is a folder, not a file.");
  if (!S_ISREG(facts.st_mode)) throw CLIError(ExitCode::input, shown + " is not a regular file.");
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    throw CLIError(ExitCode::input, shown + " could not be read: " + std::strerror(errno) + ".");
  }
  ::close(descriptor);
}

} // namespace bosun
