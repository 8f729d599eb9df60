#include "core/DiskImage/ModernDiskImageTool.hpp"

#include <algorithm>
#include <thread>

#include "core/Process/CoreCommand.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Process/ProcessRunner.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/MountTable.hpp"
#include "core/Support/Text.hpp"

namespace fs = std::filesystem;

namespace halyard {

namespace {

constexpr std::string_view diskPrefix = "/dev/disk";
constexpr std::size_t noteOutputLimit = 400; // characters of tool output in a note

constexpr const char* busyNote =
    "The temporary disk image was still busy (usually Spotlight or Finder reading it), so Halyard "
    "ejected it with force. This is harmless and the export continued.";

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The end of a run of digits starting at `at` (at itself when there is none).
std::size_t digitsEnd(std::string_view text, std::size_t at) {
  while (at < text.size() && isDigit(text[at]))
    ++at;
  return at;
}

// The length of "/dev/diskN" or "/dev/diskNsM..." at the start of `text`, or 0.
std::size_t deviceNodeLength(std::string_view text, bool withSlices) {
  if (text.substr(0, diskPrefix.size()) != diskPrefix) return 0;
  std::size_t end = digitsEnd(text, diskPrefix.size());
  if (end == diskPrefix.size()) return 0;
  while (withSlices && end + 1 < text.size() && text[end] == 's' && isDigit(text[end + 1]))
    end = digitsEnd(text, end + 1);
  return end;
}

// The first `limit` characters (not bytes) of UTF-8 text.
std::string firstCharacters(const std::string& text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation && characters++ == limit) return text.substr(0, i);
  }
  return text;
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::string ModernDiskImageAttachment::wholeDisk() const {
  const std::size_t length = deviceNodeLength(device, false);
  return length == 0 ? device : device.substr(0, length);
}

ModernDiskImageError ModernDiskImageError::commandFailed(const std::string& command,
                                                         std::int32_t status,
                                                         const std::string& output) {
  std::string description = text::trimmed(output);
  if (description.empty())
    description = "diskutil " + command + " failed with status " + std::to_string(status) + ".";
  ModernDiskImageError error(Kind::commandFailed, description);
  error.command_ = command;
  error.status_ = status;
  error.output_ = output;
  return error;
}

ModernDiskImageError ModernDiskImageError::attachUnreadable(const std::string& output) {
  ModernDiskImageError error(Kind::attachUnreadable,
                             "diskutil image attach did not report a mounted volume. " +
                                 text::trimmed(output));
  error.output_ = output;
  return error;
}

ModernDiskImageError ModernDiskImageError::ejectFailed(const std::string& mountPoint) {
  ModernDiskImageError error(Kind::ejectFailed, "The temporary disk image at " + mountPoint +
                                                    " could not be ejected.");
  error.mountPoint_ = mountPoint;
  return error;
}

void AttachmentRegistry::insert(const ModernDiskImageAttachment& attachment) {
  std::lock_guard guard(lock_);
  if (std::find(attachments_.begin(), attachments_.end(), attachment) == attachments_.end())
    attachments_.push_back(attachment);
}

void AttachmentRegistry::remove(const ModernDiskImageAttachment& attachment) {
  std::lock_guard guard(lock_);
  attachments_.erase(std::remove(attachments_.begin(), attachments_.end(), attachment),
                     attachments_.end());
}

std::vector<ModernDiskImageAttachment> AttachmentRegistry::snapshot() const {
  std::lock_guard guard(lock_);
  return attachments_;
}

AttachmentRegistry& ModernDiskImageTool::registry() {
  static AttachmentRegistry shared;
  return shared;
}

std::string ModernDiskImageTool::run(const std::vector<std::string>& arguments) const {
  ProcessRunRequest request;
  request.executable = AppleTools::diskutil;
  request.arguments = arguments;
  request.timeout = timing_.timeLimit;
  request.mergeStreams = true;
  request.reportExit = true;
  request.timeoutMessage = "The process took too long and was stopped.";
  // An eject started while the run is being cancelled is part of the clean-up: cancellation
  // must not stop it.
  request.track = arguments.empty() || arguments.front() != "eject" ||
                  !ProcessRegistry::shared().isCancelling();
  const auto result = ProcessRunner::run(request);
  if (result.status == ToolProcessResult::launchFailedStatus)
    throw CoreCommandError(result.status, result.standardError);
  if (result.succeeded()) return result.standardOutput;

  const std::string output = result.status == ToolProcessResult::timedOutStatus
                                 ? result.standardError
                                 : result.standardOutput;
  const std::string trimmed = text::trimmed(output);
  const std::string head = "diskutil " + text::joined(arguments, " ") + " failed (status " +
                           std::to_string(result.status) + "): ";
  HalyardCoreLog::debugMessage(head + (trimmed.empty() ? "no output" : trimmed));
  HalyardCoreLog::noteMessage(
      head + (trimmed.empty() ? "no output" : firstCharacters(trimmed, noteOutputLimit)));
  const std::vector<std::string> command(
      arguments.begin(),
      arguments.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(3, arguments.size())));
  throw ModernDiskImageError::commandFailed(text::joined(command, " "), result.status, output);
}

void ModernDiskImageTool::createBlank(const fs::path& image, long long sizeMB,
                                      const std::string& volumeName) const {
  std::error_code ignored;
  fs::remove(image, ignored);
  run({"image", "create", "blank", "--format", "RAW", "--fs", "APFS", "--size",
       std::to_string(sizeMB * 1048576LL), "--volumeName", volumeName, image.string()});
}

ModernDiskImageAttachment ModernDiskImageTool::attach(const fs::path& image) const {
  const std::string output = run({"image", "attach", image.string()});
  if (auto attachment = parseAttachment(output)) {
    registry().insert(*attachment);
    return *attachment;
  }
  if (const auto device = firstDeviceNode(output)) {
    try {
      run(ejectArguments(*device, true));
    } catch (const std::exception&) {
      // The unreadable attach is the error worth reporting.
    }
  }
  throw ModernDiskImageError::attachUnreadable(output);
}

void ModernDiskImageTool::eject(const ModernDiskImageAttachment& attachment) const {
  const auto isMounted = [&] { return MountTable::isMountedVolume(attachment.mountPoint); };
  if (ProcessRegistry::shared().isCancelling()) {
    // The clean-up of a cancellation has seconds, not minutes: one forced eject, no waiting for
    // the volume; what stays is left to the leftover sweep.
    try {
      run(ejectArguments(attachment.wholeDisk(), true));
    } catch (const Error&) {
    }
    if (isMounted()) throw ModernDiskImageError::ejectFailed(attachment.mountPoint);
    registry().remove(attachment);
    return;
  }
  bool errorTolerated = false;
  for (int attempt = 1;;) {
    try {
      run(ejectArguments(attachment.wholeDisk(), false));
      break;
    } catch (const Error&) {
    }
    if (!isMounted()) {
      errorTolerated = true;
      break;
    }
    if (attempt == 1) {
      std::this_thread::sleep_for(timing_.retryDelay);
      ++attempt;
      continue;
    }
    HalyardCoreLog::noteMessage(busyNote);
    std::error_code error;
    const std::string target = fs::exists(attachment.mountPoint, error)
                                   ? attachment.mountPoint
                                   : firstDeviceNode(attachment.device).value_or(attachment.device);
    try {
      run(ejectArguments(target, true));
      break;
    } catch (const Error&) {
    }
    if (++attempt >= 3) {
      errorTolerated = true;
      break;
    }
  }

  for (int checks = 0; isMounted();) {
    if (++checks >= timing_.unmountChecks)
      throw ModernDiskImageError::ejectFailed(attachment.mountPoint);
    std::this_thread::sleep_for(timing_.checkInterval);
  }
  registry().remove(attachment);
  if (errorTolerated) {
    HalyardCoreLog::noteMessage(
        "Recovered: diskutil eject: the temporary disk image at " + attachment.mountPoint +
        " was ejected even though diskutil reported an error. This is harmless and the export "
        "continued.");
  }
}

void ModernDiskImageTool::compress(const fs::path& source, const fs::path& destination,
                                   DMGCompressionFormat format) const {
  std::error_code ignored;
  fs::remove(destination, ignored);
  run({"image", "create", "from", "--format", std::string(udifFormat(format)), source.string(),
       destination.string()});
  run({"image", "info", destination.string()});
}

void ModernDiskImageTool::ejectRemaining() const {
  for (const auto& attachment : registry().snapshot()) {
    try {
      eject(attachment);
    } catch (const std::exception&) {
      // Best effort: the remaining attachments still get their turn.
    }
  }
}

ToolProcessResult ModernDiskImageTool::forceEject(const std::string& target, const ToolRun& run) {
  return run(AppleTools::diskutil, ejectArguments(target, true));
}

std::vector<std::string> ModernDiskImageTool::ejectArguments(const std::string& target,
                                                             bool force) {
  std::vector<std::string> arguments{"eject"};
  if (force) arguments.emplace_back("force");
  arguments.push_back(target);
  return arguments;
}

std::optional<std::string> ModernDiskImageTool::firstDeviceNode(std::string_view text) {
  for (auto at = text.find(diskPrefix); at != std::string_view::npos;
       at = text.find(diskPrefix, at + 1)) {
    if (const auto length = deviceNodeLength(text.substr(at), true))
      return std::string(text.substr(at, length));
  }
  return std::nullopt;
}

std::vector<std::string> ModernDiskImageTool::mountCandidates(std::string_view line) {
  std::vector<std::string> candidates;
  for (std::size_t start = 0; start <= line.size();) {
    const auto tab = std::min(line.find('\t', start), line.size());
    const std::string field = text::trimmed(line.substr(start, tab - start), " \t");
    if (startsWith(field, "/") && !startsWith(field, "/dev/")) candidates.push_back(field);
    start = tab + 1;
  }
  for (const std::string_view marker : {"/Volumes/", "/System/Volumes/"}) {
    const auto at = line.find(marker);
    if (at == std::string_view::npos) continue;
    const std::string rest = text::trimmed(line.substr(at), " \t");
    if (std::find(candidates.begin(), candidates.end(), rest) == candidates.end())
      candidates.push_back(rest);
  }
  candidates.erase(std::remove(candidates.begin(), candidates.end(), "/"), candidates.end());
  return candidates;
}

std::optional<ModernDiskImageAttachment>
ModernDiskImageTool::parseAttachment(std::string_view output, const VolumeCheck& isMounted) {
  const auto device = firstDeviceNode(output);
  if (!device) return std::nullopt;
  for (std::size_t start = 0; start <= output.size();) {
    const auto end = std::min(output.find_first_of("\r\n", start), output.size());
    for (const auto& candidate : mountCandidates(output.substr(start, end - start))) {
      if (isMounted(candidate)) return ModernDiskImageAttachment{*device, candidate};
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<ModernDiskImageAttachment>
ModernDiskImageTool::parseAttachment(std::string_view output) {
  return parseAttachment(output,
                         [](const std::string& path) { return MountTable::isMountedVolume(path); });
}

} // namespace halyard
