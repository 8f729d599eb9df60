#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/Process/ProcessRunner.hpp"

namespace halyard {

// The one catalogue of the platform tools this library runs: their real absolute paths (the
// runners map them through ToolRoot), the argument lists that several components share, and the
// time limits of the components. Add a tool or a shared argument list here, never as a literal at
// the call site.
struct AppleTools {
  static constexpr const char* codesign = "/usr/bin/codesign";
  static constexpr const char* security = "/usr/bin/security";
  static constexpr const char* xcrun = "/usr/bin/xcrun";
  static constexpr const char* hdiutil = "/usr/bin/hdiutil";
  static constexpr const char* diskutil = "/usr/sbin/diskutil";
  static constexpr const char* ditto = "/usr/bin/ditto";
  static constexpr const char* xattr = "/usr/bin/xattr";
  static constexpr const char* chmod = "/bin/chmod";
  static constexpr const char* lipo = "/usr/bin/lipo";
  static constexpr const char* shasum = "/usr/bin/shasum";
  static constexpr const char* osascript = "/usr/bin/osascript";
  static constexpr const char* spctl = "/usr/sbin/spctl";
  static constexpr const char* pkgutil = "/usr/sbin/pkgutil";
  static constexpr const char* pkgbuild = "/usr/bin/pkgbuild";
  static constexpr const char* productbuild = "/usr/bin/productbuild";
  static constexpr const char* productsign = "/usr/bin/productsign";
  static constexpr const char* sysctl = "/usr/sbin/sysctl";

  // Time limits in seconds, by the kind of work.
  static constexpr double quickQueryLimit = 60;
  static constexpr double signingLimit = 180;
  static constexpr double packagingLimit = 900;
  static constexpr double diskImageLimit = 3600;

  // The folders of the platform's own tools, searched in this order for a tool by name.
  static constexpr const char* toolFolders[] = {"/usr/bin", "/usr/sbin"};
  // `xcrun --find TOOL` (arguments after xcrun): the developer tool's absolute path.
  static std::vector<std::string> xcrunFind(const std::string& tool);
  // `security show-keychain-info` (arguments after security): the default keychain's settings;
  // fails while that keychain is locked.
  static std::vector<std::string> keychainInfo();

  // How each component runs its tools: what a time-out does to the child and what the caller
  // gets back. `request` fills a runner request with one component's settings.
  enum class Runner {
    shared,        // ToolProcess: SIGTERM only, the result at the deadline, output kept
    inspection,    // SIGTERM then SIGKILL, the result once the child has gone, output kept
    releaseCheck,  // streams merged, SIGTERM then SIGKILL, the result at the deadline
    identityQuery, // standard error discarded, SIGTERM then SIGKILL, no output on time-out
    notarization,  // SIGTERM then SIGKILL, no output on time-out
    cleanup,       // untracked (it runs during cancellation), standard error discarded
  };
  static ProcessRunRequest request(Runner runner, std::filesystem::path executable,
                                   std::vector<std::string> arguments, double timeout);
};

} // namespace halyard
