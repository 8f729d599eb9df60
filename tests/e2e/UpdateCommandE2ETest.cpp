// `bosun update` and the daily notice against a real HTTPS server on loopback, with the stand-in
// tools signing and serving the disk image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "StandInRoot.hpp"
#include "UpdateServer.hpp"
#include "cli/commands/HelpCommand.hpp"
#include "cli/commands/UpdateNotice.hpp"
#include "core/Support/SHA256.hpp"

namespace fs = std::filesystem;
using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
using bosun::testing::UpdateServer;

namespace {

const std::string current = bosun::HelpCommand::version();
constexpr const char* makerIdentity = "Developer ID Application: Halyard Ltd (K7Q2M9X4PZ)";
constexpr const char* otherIdentity = "Developer ID Application: Other Corp (A1B2C3D4E5)";
constexpr const char* newCommand = "#!/bin/sh\necho 'Bosun 9.1.0'\n";

using bosun::testing::processesNaming;

std::string readAll(const fs::path& file) {
  return bosun::testing::fileContents(file);
}

std::string manifest(const std::string& version, const std::string& sha256 = std::string(64, '0'),
                     const std::string& extra = "") {
  return R"({"version":")" + version + R"(","sha256":")" + sha256 + "\"" + extra + "}";
}

class UpdateE2E : public ::testing::Test {
protected:
  static void SetUpTestSuite() { server = new UpdateServer(); }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override { server->reset(); }

  RunResult update(std::vector<std::string> arguments,
                   std::map<std::string, std::string> extra = {},
                   const std::optional<fs::path>& executable = std::nullopt) const {
    auto environment = server->environment();
    environment.insert(extra.begin(), extra.end());
    if (!executable) return root.bosun(std::move(arguments), environment);
    bosun::testing::RunOptions options;
    options.executable = *executable;
    options.arguments = std::move(arguments);
    options.baseEnvironment = root.environment();
    options.environment = environment;
    options.workingDirectory = root.work();
    return bosun::testing::runProgram(options);
  }

  // A disk image holding the new command, signed by `identity`; returns its SHA-256.
  std::string serveSignedImage(const std::string& identity) const {
    const fs::path content = root.work() / "image content";
    fs::remove_all(content);
    fs::create_directories(content / "bin");
    const fs::path command = content / "bin" / "bosun";
    std::ofstream(command) << newCommand;
    fs::permissions(command, fs::perms::owner_all);
    root.addIdentity(identity);
    root.signFile(command, identity);
    const fs::path image = root.work() / "Bosun.dmg";
    fs::remove(image);
    root.toolOK("/usr/bin/hdiutil", {"create", "-srcfolder", content.string(), "-volname", "Bosun",
                                     "-format", "UDZO", image.string()});
    server->serveImage(image);
    return halyard::SHA256::hexDigestOfFile(image);
  }

  // A copy of the built bosun at `relative` under the work folder.
  fs::path installedCopy(const fs::path& relative) const {
    const fs::path copy = root.work() / relative;
    fs::create_directories(copy.parent_path());
    fs::copy_file(BOSUN_BINARY, copy, fs::copy_options::overwrite_existing);
    return copy;
  }

  void expectNothingLeftBehind() const {
    EXPECT_TRUE(fs::is_empty(root.home() / "tmp"));
    EXPECT_EQ(root.toolOK("/usr/bin/hdiutil", {"info"}).find("image-path"), std::string::npos);
  }

  static inline UpdateServer* server = nullptr;
  StandInRoot root;
};

TEST_F(UpdateE2E, ReportsWhatTheServerOffers) {
  const std::string latest = "9.1.0";
  struct Case {
    std::string name;
    std::optional<std::string> manifest;
    std::optional<int> status;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    int exitCode;
    std::string line;
  };
  const std::string notReached =
      "✗ Could not check for Bosun updates: The Bosun update server did not respond.";
  const std::vector<Case> cases = {
      {"same version",
       manifest(current),
       {},
       {"update"},
       {},
       0,
       "✓ Bosun " + current + " is up to date."},
      {"newer, --check",
       manifest(latest),
       {},
       {"update", "--check"},
       {},
       0,
       "Bosun 9.1.0 is available (you have " + current + "). Run `bosun update` to install it."},
      {"system too old",
       manifest(latest, std::string(64, '0'), R"(,"minimumSystemVersion":"15.10")"),
       {},
       {"update", "--check"},
       {},
       1,
       "✗ Bosun 9.1.0 needs macOS 15.10 or later. This Mac runs macOS 15.5, so the update isn't "
       "offered."},
      {"arm64 only on Intel",
       manifest(latest, std::string(64, '0'), R"(,"architectures":["arm64"])"),
       {},
       {"update"},
       {{"MACSIM_ARM64", "0"}},
       1,
       "✗ Bosun 9.1.0 doesn't support this Mac's processor, so the update isn't offered."},
      {"arm64 only on Apple silicon",
       manifest(latest, std::string(64, '0'), R"(,"architectures":["arm64"])"),
       {},
       {"update", "--check"},
       {{"MACSIM_ARM64", "1"}},
       0,
       "Bosun 9.1.0 is available (you have " + current + "). Run `bosun update` to install it."},
      {"HTTP 404", std::nullopt, {}, {"update"}, {}, 1, notReached},
      {"HTTP 500", manifest(latest), 500, {"update"}, {}, 1, notReached},
      {"garbage", std::string("<html>not a manifest</html>"), {}, {"update"}, {}, 1, notReached},
      {"no version", std::string(R"({"sha256":"00"})"), {}, {"update"}, {}, 1, notReached},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    server->reset();
    if (test.manifest) server->serveManifest(*test.manifest);
    if (test.status) server->answerAlways(*test.status);
    const auto result = update(test.arguments, test.environment);
    EXPECT_TRUE(result.exitedWith(test.exitCode)) << result.standardError;
    const auto lines = result.errorLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), test.line), lines.end())
        << result.standardError;
    EXPECT_EQ(result.standardOutput, "");
  }

  // The command records what it found for the notice.
  server->reset();
  server->serveManifest(manifest(latest));
  ASSERT_TRUE(update({"update", "--check", "--json"}).exitedWith(0));
  const auto cache =
      bosun::UpdateNotice::loadCache(root.home() / ".config" / "bosun" / "update-check.json");
  ASSERT_TRUE(cache);
  EXPECT_EQ(cache->latestVersion, latest);
}

TEST_F(UpdateE2E, InstallsOnlyAVerifiedDownloadAndReplacesTheCommandInOneStep) {
  const fs::path bin = root.work() / "bin";
  const fs::path command = installedCopy("bin/bosun");
  const std::string original = readAll(command);

  // Signed by another team: refused with the signing code.
  std::string digest = serveSignedImage(otherIdentity);
  server->serveManifest(manifest("9.1.0", digest));
  auto result = update({"update"}, {}, command);
  EXPECT_TRUE(result.exitedWith(10)) << result.standardError;
  EXPECT_NE(result.standardError.find("✗ The downloaded Bosun is not signed by the Halyard "
                                      "developer, so it was not installed."),
            std::string::npos)
      << result.standardError;
  EXPECT_EQ(readAll(command), original);
  expectNothingLeftBehind();

  // The same with a volume that will not go: named as the run ends, the exit code unchanged.
  result = update({"update"}, {{"MACSIM_STUCK_VOLUMES", "1"}}, command);
  EXPECT_TRUE(result.exitedWith(10)) << result.standardError;
  EXPECT_TRUE(root.detachNamedIn(result.standardError).ends_with("/volume"))
      << result.standardError;
  EXPECT_EQ(readAll(command), original);
  expectNothingLeftBehind();

  // The maker's signature, but the manifest's checksum belongs to something else.
  digest = serveSignedImage(makerIdentity);
  server->serveManifest(manifest("9.1.0", halyard::SHA256::hexDigest("something else")));
  result = update({"update"}, {}, command);
  EXPECT_TRUE(result.exitedWith(10)) << result.standardError;
  EXPECT_NE(result.standardError.find(
                "✗ The downloaded Bosun did not match its checksum, so it was not installed. The "
                "download may still be updating; try again in a few minutes."),
            std::string::npos)
      << result.standardError;
  EXPECT_EQ(readAll(command), original);
  expectNothingLeftBehind();

  // Everything matches (the checksum in upper case): the command is replaced.
  std::string upper = digest;
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  server->serveManifest(manifest("9.1.0", upper));
  result = update({"update"}, {}, command);
  EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_NE(result.standardError.find("✓ Updated Bosun " + current + " to 9.1.0"),
            std::string::npos)
      << result.standardError;
  EXPECT_EQ(readAll(command), readAll(root.work() / "image content" / "bin" / "bosun"));
  EXPECT_EQ(readAll(command).rfind(newCommand, 0), 0u);
  EXPECT_TRUE((fs::status(command).permissions() & fs::perms::owner_exec) != fs::perms::none);
  for (const auto& entry : fs::directory_iterator(bin))
    EXPECT_EQ(entry.path().filename(), "bosun");
  expectNothingLeftBehind();
}

TEST_F(UpdateE2E, CtrlCWhileVerifyingRemovesTheDownload) {
  const fs::path command = installedCopy("cancelled/bosun");
  const std::string original = readAll(command);
  server->serveManifest(manifest("9.1.0", serveSignedImage(makerIdentity)));
  RunResult result;
  std::thread run([&] { result = update({"update"}, {{"MACSIM_CODESIGN_DELAY", "60"}}, command); });
  // Once codesign checks the copied command, interrupt this bosun (found by its own path).
  std::optional<pid_t> bosun;
  for (int i = 0; i < 600 && !bosun; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (processesNaming({"--verify", "Halyard_Bosun_"}).empty()) continue;
    const auto found = processesNaming({command.string(), "update"});
    if (found.size() == 1) bosun = found.front();
  }
  ASSERT_TRUE(bosun) << "bosun never reached the signature check";
  ::kill(*bosun, SIGINT);
  run.join();
  EXPECT_TRUE(result.exitedWith(130)) << result.standardError;
  EXPECT_EQ(readAll(command), original);
  expectNothingLeftBehind();
}

TEST_F(UpdateE2E, NeverReplacesACopyThatIsManagedElsewhere) {
  serveSignedImage(makerIdentity);
  server->serveManifest(manifest("9.1.0"));
  struct Case {
    fs::path relative;
    std::string message;
    std::string hint;
  };
  const std::vector<Case> cases = {
      {"homebrew/Cellar/bosun/1.0.0/bin/bosun", "✗ This Bosun was installed with Homebrew.",
       "  Run `brew upgrade bosun`."},
      {"Applications/Halyard.app/Contents/Helpers/bosun",
       "✗ This copy of Bosun lives inside Halyard.", "  Update it from Halyard Settings > Bosun."},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.relative.string());
    const fs::path command = installedCopy(test.relative);
    const std::string original = readAll(command);
    const auto result = update({"update"}, {}, command);
    EXPECT_TRUE(result.exitedWith(1)) << result.standardError;
    const auto lines = result.errorLines();
    ASSERT_GE(lines.size(), 2u) << result.standardError;
    EXPECT_EQ(lines[lines.size() - 2], test.message);
    EXPECT_EQ(lines.back(), test.hint);
    EXPECT_EQ(readAll(command), original);
    expectNothingLeftBehind();
  }
}

TEST_F(UpdateE2E, AFolderTheUserCannotWriteToNeedsAdministratorRights) {
  if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv"))
    GTEST_SKIP() << "needs root to run bosun as an unprivileged user";
  server->serveManifest(manifest("9.1.0"));
  // A folder everyone may enter but only root may write to, holding the command and the
  // server's certificate.
  halyard::TemporaryFolder shared("BosunUpdateShared_");
  fs::permissions(shared.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
  const fs::path bin = shared.path() / "bin";
  fs::create_directories(bin);
  fs::copy_file(BOSUN_BINARY, bin / "bosun");
  fs::copy_file(server->certificate(), shared.path() / "certificate.pem");
  fs::permissions(shared.path() / "certificate.pem", fs::perms::others_read, fs::perm_options::add);
  const std::string original = readAll(bin / "bosun");

  bosun::testing::RunOptions options;
  options.executable = "/usr/bin/setpriv";
  options.arguments = {"--reuid=65534", "--regid=65534", "--clear-groups", (bin / "bosun").string(),
                       "update"};
  options.baseEnvironment = root.environment();
  options.environment = server->environment();
  options.environment["BOSUN_UPDATE_CA_FILE"] = (shared.path() / "certificate.pem").string();
  options.workingDirectory = shared.path();
  const auto result = bosun::testing::runProgram(options);
  EXPECT_TRUE(result.exitedWith(1)) << result.standardError;
  const auto lines = result.errorLines();
  ASSERT_GE(lines.size(), 2u) << result.standardError;
  EXPECT_EQ(lines[lines.size() - 2],
            "✗ Bosun 9.1.0 is available, but " + bin.string() + " needs administrator rights.");
  EXPECT_EQ(lines.back(), "  Run `sudo bosun update`, or update it from Halyard Settings > Bosun.");
  EXPECT_EQ(readAll(bin / "bosun"), original);
}

TEST_F(UpdateE2E, NoticeShowsOnlyOnATerminalWithANewerCachedVersion) {
  const fs::path cache = root.home() / ".config" / "bosun" / "update-check.json";
  bosun::UpdateNotice::saveCache(cache, {std::chrono::system_clock::now(), "9.1.0"});
  const std::string before = readAll(cache);
  const std::string notice = "Bosun 9.1.0 is available (you have " + current +
                             "). Run `bosun update`, or update it from Halyard Settings > Bosun.";
  struct Case {
    std::string name;
    bool terminal;
    bool optOut;
    bool shown;
  };
  for (const auto& test : std::vector<Case>{{"terminal", true, false, true},
                                            {"BOSUN_NO_UPDATE_CHECK", true, true, false},
                                            {"no terminal", false, false, false}}) {
    SCOPED_TRACE(test.name);
    bosun::testing::RunOptions options;
    options.executable = BOSUN_BINARY;
    options.arguments = {"--version"};
    options.baseEnvironment = root.environment();
    if (!test.optOut) options.baseEnvironment.erase("BOSUN_NO_UPDATE_CHECK");
    options.errorIsTerminal = test.terminal;
    options.inputIsTerminal = test.terminal;
    const auto result = bosun::testing::runProgram(options);
    EXPECT_TRUE(result.exitedWith(0));
    EXPECT_EQ(result.standardOutput, "Bosun " + current + "\n");
    const auto lines = result.errorLines();
    EXPECT_EQ(std::find(lines.begin(), lines.end(), notice) != lines.end(), test.shown)
        << result.standardError;
  }
  // A recent cache means no new check.
  EXPECT_EQ(readAll(cache), before);
}

TEST_F(UpdateE2E, BackgroundCheckWritesTheCacheAtMostOnceADay) {
  for (const auto& [name, value] : server->environment())
    ::setenv(name.c_str(), value.c_str(), 1);
  server->serveManifest(manifest("9.2.0"));
  const fs::path cache = root.home() / "config" / "update-check.json";
  const auto now = std::chrono::system_clock::now();

  // Checked an hour ago: nothing starts, the cache stays.
  bosun::UpdateNotice::saveCache(cache, {now - std::chrono::hours(1), "9.1.0"});
  EXPECT_FALSE(bosun::UpdateNotice::startBackgroundCheck(cache).isStarted());
  EXPECT_EQ(bosun::UpdateNotice::loadCache(cache)->latestVersion, "9.1.0");

  // A day old: the check runs and caches the server's version.
  bosun::UpdateNotice::saveCache(cache, {now - std::chrono::hours(24), "9.1.0"});
  const auto check = bosun::UpdateNotice::startBackgroundCheck(cache);
  ASSERT_TRUE(check.isStarted());
  ASSERT_TRUE(check.waitFor(std::chrono::seconds(60)));
  const auto written = bosun::UpdateNotice::loadCache(cache);
  ASSERT_TRUE(written);
  EXPECT_EQ(written->latestVersion, "9.2.0");
  EXPECT_FALSE(bosun::UpdateNotice::startBackgroundCheck(cache).isStarted());
  for (const auto& [name, value] : server->environment())
    ::unsetenv(name.c_str());
}

} // namespace
