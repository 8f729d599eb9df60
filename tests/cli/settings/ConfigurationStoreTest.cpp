#include "cli/settings/ConfigurationStore.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>

#include "cli/console/CLIError.hpp"
#include "cli/settings/TildeExpansion.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace bosun {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

unsigned permissions(const fs::path& file) {
  struct stat facts {};
  EXPECT_EQ(::stat(file.c_str(), &facts), 0);
  return facts.st_mode & 07777;
}

class ConfigurationStoreTest : public ::testing::Test {
protected:
  halyard::TemporaryFolder folder{"ConfigurationStoreTest_"};

  // The error load() throws for the file, or a note that it threw none.
  CLIError loadFailure(const fs::path& file) {
    try {
      ConfigurationStore::load(file);
    } catch (const CLIError& error) {
      return error;
    }
    return CLIError(ExitCode::success, "(loaded)");
  }
  CLIError saveFailure(const CLIConfiguration& configuration, const fs::path& file) {
    try {
      ConfigurationStore::save(configuration, file);
    } catch (const CLIError& error) {
      return error;
    }
    return CLIError(ExitCode::success, "(saved)");
  }
  std::vector<std::string> entries(const fs::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(ConfigurationStoreTest, UserFileLocation) {
  const Environment plain{{{"HOME", "/home/ada"}}};
  const Environment xdg{{{"HOME", "/home/ada"}, {"XDG_CONFIG_HOME", "/tmp/x"}}};
  const Environment emptyXDG{{{"HOME", "/home/ada"}, {"XDG_CONFIG_HOME", ""}}};

  EXPECT_EQ(ConfigurationStore::userConfigURL(std::nullopt, plain),
            "/home/ada/.config/bosun/config.json");
  EXPECT_EQ(ConfigurationStore::userConfigURL(std::nullopt, xdg), "/tmp/x/bosun/config.json");
  EXPECT_EQ(ConfigurationStore::userConfigURL(std::nullopt, emptyXDG),
            "/home/ada/.config/bosun/config.json");
  // --config wins over XDG_CONFIG_HOME; an empty --config does not count.
  EXPECT_EQ(ConfigurationStore::userConfigURL("~/c.json", xdg), "/home/ada/c.json");
  EXPECT_EQ(ConfigurationStore::userConfigURL("/etc/bosun.json", xdg), "/etc/bosun.json");
  EXPECT_EQ(ConfigurationStore::userConfigURL("", xdg), "/tmp/x/bosun/config.json");

  EXPECT_EQ(expandingTilde("~", "/home/ada"), "/home/ada");
  EXPECT_EQ(expandingTilde("~/k.p8", "/"), "/k.p8");
  EXPECT_EQ(expandingTilde("~ada/k.p8", "/home/ada"), "~ada/k.p8");
  EXPECT_EQ(expandingTilde("keys/~/k.p8", "/home/ada"), "keys/~/k.p8");
}

TEST_F(ConfigurationStoreTest, SavesSortedIndentedPrivateFileInMissingFolders) {
  const fs::path file = folder.path() / "a" / "b" / "config.json";
  CLIConfiguration configuration;
  configuration.window = "large";
  configuration.apiKeyPath = "/keys/AuthKey.p8";
  configuration.notarize = false;
  ConfigurationStore::save(configuration, file);

  EXPECT_EQ(contents(file), "{\n"
                            "  \"apiKeyPath\": \"/keys/AuthKey.p8\",\n"
                            "  \"notarize\": false,\n"
                            "  \"window\": \"large\"\n"
                            "}\n");
  EXPECT_EQ(permissions(file), 0600u);
  EXPECT_EQ(ConfigurationStore::load(file), configuration);

  // Replacing a file that others could read makes it private too.
  ::chmod(file.c_str(), 0644);
  configuration.window.reset();
  ConfigurationStore::save(configuration, file);
  EXPECT_EQ(permissions(file), 0600u);
  EXPECT_EQ(ConfigurationStore::load(file), configuration);
  EXPECT_EQ(entries(file.parent_path()), std::vector<std::string>{"config.json"});

  // A configuration kept as a link (relative, into a dotfiles folder) stays one.
  const fs::path linked = folder.path() / "linked.json";
  fs::create_symlink("a/b/config.json", linked);
  configuration.window = "small";
  ConfigurationStore::save(configuration, linked);
  EXPECT_EQ(fs::read_symlink(linked), "a/b/config.json");
  EXPECT_EQ(ConfigurationStore::load(file), configuration);
  EXPECT_EQ(entries(file.parent_path()), std::vector<std::string>{"config.json"});
}

TEST_F(ConfigurationStoreTest, MissingFileIsNoConfiguration) {
  EXPECT_EQ(ConfigurationStore::load(folder.path() / "none.json"), std::nullopt);
  // A path through a regular file cannot exist either.
  write(folder.path() / "file", "x");
  EXPECT_EQ(ConfigurationStore::load(folder.path() / "file" / "config.json"), std::nullopt);
}

TEST_F(ConfigurationStoreTest, UnreadableFilesGiveOneErrorWithTheFixHint) {
  const fs::path directory = folder.path() / "config.json";
  fs::create_directory(directory);
  const fs::path fifo = folder.path() / "fifo.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Read only up to the limit, however large the file is.
  const fs::path huge = folder.path() / "huge.json";
  write(huge, "{\"x\": \"" + std::string(4 * 1024 * 1024, ' ') + "\"}");
  const fs::path wrongType = folder.path() / "bosun.json";
  write(wrongType, "{\"deepVerify\": \"yes\"}");

  const std::vector<std::pair<fs::path, std::string>> cases{
      {directory, "Is a directory"},
      {fifo, "It is not a regular file."},
      {huge, "The file is larger than 1024 KB."},
      {wrongType, "\"deepVerify\" must be true or false."},
  };
  for (const auto& [file, reason] : cases) {
    const CLIError error = loadFailure(file);
    EXPECT_EQ(error.code(), ExitCode::configuration) << file;
    EXPECT_EQ(error.message(), file.string() + " could not be read: " + reason);
    EXPECT_EQ(error.hint(), "Fix the JSON or remove the file and run `bosun setup` again.");
  }
}

TEST_F(ConfigurationStoreTest, FailedSaveKeepsThePreviousFile) {
  const fs::path file = folder.path() / "config.json";
  const std::string previous = "{\n  \"identity\": \"kept\"\n}\n";
  write(file, previous);
  CLIConfiguration configuration;
  configuration.identity = std::string(4096, 'n');

  // The file system refuses the bytes half-way: the size limit cuts the write short.
  struct rlimit original {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &original), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = original;
  small.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const CLIError error = saveFailure(configuration, file);
  ::setrlimit(RLIMIT_FSIZE, &original);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(error.code(), ExitCode::configuration);
  EXPECT_EQ(error.message(), "Could not save " + file.string() + ": File too large");
  EXPECT_EQ(error.hint(), std::nullopt);
  EXPECT_EQ(contents(file), previous);
  EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"config.json"});

  // A value that cannot be encoded fails before anything is written.
  configuration.identity = "bad \xC0 bytes";
  EXPECT_EQ(saveFailure(configuration, file).message(),
            "Could not save " + file.string() + ": A value is not UTF-8 text.");
  EXPECT_EQ(contents(file), previous);

  // A folder that is a file cannot be made.
  write(folder.path() / "plain", "x");
  const fs::path blocked = folder.path() / "plain" / "config.json";
  EXPECT_EQ(saveFailure(configuration, blocked)
                .message()
                .rfind("Could not save " + blocked.string() + ": ", 0),
            0u);
}

TEST_F(ConfigurationStoreTest, ReadOnlyFolderKeepsThePreviousFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  const fs::path locked = folder.path() / "locked";
  fs::create_directory(locked);
  const fs::path file = locked / "config.json";
  write(file, "{}\n");
  ::chmod(locked.c_str(), 0500);
  CLIConfiguration configuration;
  configuration.identity = "new";
  const CLIError error = saveFailure(configuration, file);
  ::chmod(locked.c_str(), 0700);
  EXPECT_EQ(error.message(), "Could not save " + file.string() + ": Permission denied");
  EXPECT_EQ(contents(file), "{}\n");
}

} // namespace
} // namespace bosun
