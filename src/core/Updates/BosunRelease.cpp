#include "core/Updates/BosunRelease.hpp"

#include <cstdlib>
#include <system_error>

#include <nlohmann/json.hpp>

#include "core/DiskImage/DiskImageAttachment.hpp"
#include "core/DiskImage/DiskImages.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/SHA256.hpp"
#include "core/Support/Text.hpp"
#include "core/Updates/HTTPSClient.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

constexpr double manifestTimeout = 20;
constexpr double imageTimeout = 60;
constexpr double attachLimit = 120;
constexpr double detachLimit = 60;
constexpr double verifyLimit = 60;

const char* const serverFailure = "The Bosun update server did not respond.";

std::optional<std::string> optionalString(const nlohmann::json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) return std::nullopt;
  if (!found->is_string()) throw std::invalid_argument(key);
  return found->get<std::string>();
}

// The first regular file named "bosun" under `volume`; links are not followed.
std::optional<fs::path> findCommand(const fs::path& volume) {
  std::error_code error;
  fs::recursive_directory_iterator walk(volume, fs::directory_options::skip_permission_denied,
                                        error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    std::error_code statusError;
    if (walk->path().filename() == "bosun" && walk->is_regular_file(statusError) &&
        !walk->is_symlink(statusError))
      return walk->path();
  }
  return std::nullopt;
}

// The update's volume is detached with -quiet; one that stays attached stays in the clean-up
// registry, so the command tries once more as it ends and warns when it still cannot.
const ToolRun detachVolume{AppleTools::Runner::shared, detachLimit};

} // namespace

BosunRelease BosunRelease::decode(std::string_view json) {
  try {
    const auto object = nlohmann::json::parse(json);
    if (!object.is_object()) throw std::invalid_argument("not an object");
    BosunRelease release;
    release.version = object.at("version").get<std::string>();
    release.sha256 = object.at("sha256").get<std::string>();
    release.notes = optionalString(object, "notes");
    release.minimumSystemVersion = optionalString(object, "minimumSystemVersion");
    const auto architectures = object.find("architectures");
    if (architectures != object.end() && !architectures->is_null())
      release.architectures = architectures->get<std::vector<std::string>>();
    return release;
  } catch (const std::exception&) {
    throw Failure(Failure::Kind::server, serverFailure);
  }
}

std::string BosunRelease::serverURL() {
  const char* override = std::getenv("BOSUN_UPDATE_URL");
  std::string base = override != nullptr && *override != '\0' ? override : defaultServer;
  while (!base.empty() && base.back() == '/')
    base.pop_back();
  return base;
}

std::string BosunRelease::manifestURL() {
  return serverURL() + "/Bosun/latest.json";
}

std::string BosunRelease::imageURL() {
  return serverURL() + "/Bosun/Bosun.dmg";
}

std::string BosunRelease::signingRequirement() {
  return std::string("=anchor apple generic and certificate leaf[subject.OU] = \"") +
         teamIdentifier + "\"";
}

BosunRelease BosunRelease::fetchLatest(bool reportDetails) {
  const auto report = [&](const std::string& message) {
    if (reportDetails) HalyardCoreLog::debugMessage(message);
  };
  HTTPSClient::Response response;
  try {
    response = HTTPSClient::get(manifestURL(), manifestTimeout, manifestLimit);
  } catch (const HTTPSError& error) {
    report(error.what());
    throw Failure(Failure::Kind::server, serverFailure);
  }
  if (response.status != 200) {
    report(manifestURL() + " answered HTTP " + std::to_string(response.status));
    throw Failure(Failure::Kind::server, serverFailure);
  }
  try {
    return decode(response.body);
  } catch (const Failure& failure) {
    report("The update manifest does not decode.");
    throw;
  }
}

BosunRelease::VerifiedBinary
BosunRelease::downloadVerifiedBinary(const BosunRelease& release,
                                     const std::function<void(const fs::path&)>& folderCreated) {
  VerifiedBinary result{TemporaryFolder("Halyard_Bosun_"), {}};
  const fs::path folder = result.folder.path();
  if (folderCreated) folderCreated(folder);
  const fs::path image = folder / "Bosun.dmg";
  const std::string notDownloaded = "Bosun " + release.version + " could not be downloaded.";

  // The body goes to a partial file that becomes Bosun.dmg only when complete.
  const fs::path partial = folder / "Bosun.dmg.partial";
  try {
    const auto response = HTTPSClient::download(imageURL(), partial, imageTimeout, imageLimit);
    if (response.status != 200) {
      HalyardCoreLog::debugMessage(imageURL() + " answered HTTP " +
                                   std::to_string(response.status));
      throw Failure(Failure::Kind::download, notDownloaded);
    }
    if (const auto error = AtomicFileCopy::replace(partial, image))
      throw fs::filesystem_error("Could not keep the download", partial, image, error);
  } catch (const HTTPSError& error) {
    HalyardCoreLog::debugMessage(error.what());
    throw Failure(Failure::Kind::download, notDownloaded);
  } catch (const fs::filesystem_error& error) {
    HalyardCoreLog::debugMessage(error.what());
    throw Failure(Failure::Kind::download, notDownloaded);
  }

  std::string digest;
  try {
    digest = SHA256::hexDigestOfFile(image);
  } catch (const Error& error) {
    HalyardCoreLog::debugMessage(error.what());
    throw Failure(Failure::Kind::download, notDownloaded);
  }
  if (digest != text::lowercasedASCII(text::trimmed(release.sha256)))
    throw Failure(Failure::Kind::checksum,
                  "The downloaded Bosun did not match its checksum, so it was not installed. The "
                  "download may still be updating; try again in a few minutes.");

  const fs::path volume = folder / "volume";
  std::error_code error;
  fs::create_directory(volume, error);
  const auto attached = DiskImages::attach(
      image, {.readOnly = true, .mountPoint = volume},
      [](const char* executable, const auto& arguments, const std::string& answer) {
        return ToolProcess::run(executable, arguments, attachLimit, answer);
      });
  if (!attached.succeeded()) {
    HalyardCoreLog::debugMessage(attached.combined());
    // A time-out may still leave the image attached, for the clean-up when it will not go; any
    // other failure attached nothing, so there is nothing to leave when the detach fails.
    if (attached.status == ToolProcessResult::timedOutStatus)
      DiskImageAttachment("", volume.string(), detachVolume, true).detach();
    else
      DiskImages::detach(volume.string(), true, true, detachVolume);
    throw Failure(Failure::Kind::image, "The Bosun download could not be opened.");
  }

  DiskImageAttachment attachment("", volume.string(), detachVolume, true);
  const fs::path copy = folder / "bosun";
  try {
    const auto command = findCommand(volume);
    if (!command)
      throw Failure(Failure::Kind::image, "Bosun.dmg did not contain the bosun command.");
    fs::copy_file(*command, copy);
    attachment.detach(true);
  } catch (const Failure&) {
    attachment.detach();
    throw;
  } catch (const std::exception& failure) {
    attachment.detach();
    HalyardCoreLog::debugMessage(failure.what());
    throw Failure(Failure::Kind::image, "The Bosun download could not be opened.");
  }

  const auto verified = CodeSign::verifyRequirement(signingRequirement(), copy,
                                                    {AppleTools::Runner::shared, verifyLimit});
  if (!verified.valid()) {
    HalyardCoreLog::debugMessage(verified.text());
    throw Failure(Failure::Kind::signature, "The downloaded Bosun is not signed by the Halyard "
                                            "developer, so it was not installed.");
  }
  result.file = copy;
  return result;
}

} // namespace halyard
