#pragma once

#include <filesystem>
#include <string>

#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"
#include "core/Signing/CodeSignDetails.hpp"
#include "core/Signing/DeepVerificationResult.hpp"

namespace halyard {

// How `codesign -d` is asked for details: `-dv --verbose=N`, or abbreviated `-d` with N v's.
struct CodeSignDetailsForm {
  int verbosity = 4;
  bool abbreviated = false;
};

// Code signing with `codesign`: the one place that spells its command lines (signatures,
// verifications, details, entitlements) and reads its answers. The runs take a ToolRun saying how
// the child runs; a failure is the caller's to judge. signApp, deepVerify, signDiskImage and
// verifyDiskImage run through the shared runner and throw CoreCommandError.
struct CodeSign {
  // The signatures asked for, each with its own spelling (M is
  // --preserve-metadata=identifier,entitlements,flags, which keeps the bundle's identifier,
  // entitlements and flags).
  enum class Signature {
    plain,       // --force --sign ID PATH: disk images
    app,         // --force --options runtime --timestamp M --sign ID PATH
    appDeep,     // the same with --deep right before the path
    preparation, // --force --sign ID --timestamp --options runtime M PATH: import preparation
    preparationWithoutRuntime, // the same without --options runtime
  };

  // The verifications asked for.
  enum class Check {
    plain,       // --verify --verbose=2
    strict,      // --verify --strict --verbose=2
    deep,        // --verify --deep --strict
    deepVerbose, // --verify --deep --strict --verbose=4
  };

  // A verification's run and what it says.
  struct Verification {
    ToolProcessResult run; // as the tool's runner gave it

    bool valid() const { return run.status == 0; }
    // "code object is not signed at all", in any case.
    bool notSigned() const;
    // Both streams, as ToolProcessResult::combined.
    std::string text() const { return run.combined(); }
  };

  using DetailsForm = CodeSignDetailsForm;

  static ToolProcessResult sign(Signature signature, const std::string& identity,
                                const std::filesystem::path& path, const ToolRun& run);
  static Verification verify(Check check, const std::filesystem::path& path, const ToolRun& run);
  // `--verify --strict -R REQUIREMENT PATH`: valid and signed as the requirement says.
  static Verification verifyRequirement(const std::string& requirement,
                                        const std::filesystem::path& path, const ToolRun& run);
  static CodeSignDetails details(const std::filesystem::path& path, const ToolRun& run,
                                 DetailsForm form = {});
  // `-d --entitlements - --xml PATH`: the entitlements as an XML property list on standard
  // output; nothing at all for code signed without entitlements.
  static ToolProcessResult entitlements(const std::filesystem::path& path, const ToolRun& run);

  // Through the shared runner and CoreCommand.
  static constexpr double diskImageTimeLimit = 3600;
  static constexpr const char* signingTimeoutMessage =
      "The signing step took too long and was stopped.";
  static constexpr const char* deepVerificationTimeoutMessage =
      "Deep verification took too long and was stopped.";

  // The app signature (Signature::app or appDeep). Throws the CoreCommandError of the run
  // unchanged; a time-out's description is the signing time-out message.
  static void signApp(const std::filesystem::path& app, const std::string& identity, bool deep,
                      double timeout);
  // Check::deepVerbose; never throws.
  static DeepVerificationResult deepVerify(const std::filesystem::path& app, double timeout);
  // Signature::plain and Check::plain of a disk image (3600 s each): codesign's output, or its
  // CoreCommandError.
  static std::string signDiskImage(const std::filesystem::path& image, const std::string& identity);
  static std::string verifyDiskImage(const std::filesystem::path& image);
};

} // namespace halyard
