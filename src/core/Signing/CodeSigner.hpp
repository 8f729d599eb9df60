#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/Signing/DeepVerificationResult.hpp"

namespace halyard {

// Turns the four code-signing requests into `codesign` command lines and runs them through
// CoreCommand. Stateless.
struct CodeSigner {
  static constexpr double diskImageTimeLimit = 3600;
  static constexpr const char* signingTimeoutMessage =
      "The signing step took too long and was stopped.";
  static constexpr const char* deepVerificationTimeoutMessage =
      "Deep verification took too long and was stopped.";

  // Signs the app with the hardened runtime and a secure timestamp, replacing any existing
  // signature and keeping the bundle's identifier, entitlements and flags. Throws the
  // CoreCommandError of the run unchanged.
  static void signApp(const std::filesystem::path& app, const std::string& identity, bool deep,
                      double timeout);

  // `codesign --verify --deep --strict`; never throws.
  static DeepVerificationResult deepVerify(const std::filesystem::path& app, double timeout);

  // Sign or verify a disk image (3600 s each); return codesign's output, throw its error.
  static std::string signDiskImage(const std::filesystem::path& image, const std::string& identity);
  static std::string verifyDiskImage(const std::filesystem::path& image);

  // The argument vectors, in the order codesign is given them.
  static std::vector<std::string> signAppArguments(const std::filesystem::path& app,
                                                   const std::string& identity, bool deep);
  static std::vector<std::string> deepVerifyArguments(const std::filesystem::path& app);
  static std::vector<std::string> signDiskImageArguments(const std::filesystem::path& image,
                                                         const std::string& identity);
  static std::vector<std::string> verifyDiskImageArguments(const std::filesystem::path& image);
};

} // namespace halyard
