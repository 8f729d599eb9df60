#include <gtest/gtest.h>

#include <chrono>

#include "core/Inspection/ReleaseCheck.hpp"
#include "core/Signing/ScriptedToolRoot.hpp"
#include "core/Support/HalyardCoreLog.hpp"

using namespace halyard;
using halyard::testing::ScriptedToolRoot;
using Status = ReleaseCheckStatus;

namespace {

// Tools that answer like a Developer ID signed, notarized and stapled file, each writing on the
// stream the real tool uses.
void addPassingTools(const ScriptedToolRoot& tools) {
  tools.addTool("/usr/bin/codesign",
                "case \"$1\" in\n"
                "  --verify) echo \"$4: valid on disk\" >&2 ;;\n"
                "  -dvv) echo 'Authority=Developer ID Application: E (T)' >&2 ;;\n"
                "  *) exit 9 ;;\n"
                "esac");
  tools.addTool("/usr/sbin/spctl",
                "echo \"$5: accepted\" >&2; echo 'source=Notarized Developer ID' >&2");
  tools.addTool("/usr/bin/xcrun", "echo \"Processing: $3\"; echo 'The validate action worked!'");
  tools.addTool("/usr/sbin/pkgutil",
                "echo 'Package \"X.pkg\":'; echo '    1. Developer ID Installer: E (T)'");
}

struct NoteCapture {
  std::vector<std::string> notes;
  NoteCapture() {
    HalyardCoreLog::note = [this](const std::string& message) { notes.push_back(message); };
  }
  ~NoteCapture() { HalyardCoreLog::note = nullptr; }
};

} // namespace

TEST(ReleaseCheckRun, PassingAppReadsBothStreamsAndNotesTheResult) {
  ScriptedToolRoot tools;
  addPassingTools(tools);
  NoteCapture capture;
  const auto result = ReleaseCheck::run(tools.root() / "My App.app/", ReleaseCheck::Kind::app);
  EXPECT_EQ(result, (ReleaseCheckResult{"My App.app", Status::passed(), Status::passed(),
                                        Status::passed()}));
  EXPECT_EQ(capture.notes, std::vector<std::string>{"Release check: My App.app - Signing: passed, "
                                                    "Notarization: passed, Stapling: passed"});
}

TEST(ReleaseCheckRun, PackageIsCheckedWithPkgutilNotCodesign) {
  ScriptedToolRoot tools;
  addPassingTools(tools);
  tools.addTool("/usr/bin/codesign", "echo 'X: code object is not signed at all' >&2; exit 1");
  tools.addTool("/usr/bin/xcrun", "echo 'X.pkg does not have a ticket stapled to it.'; exit 65");
  const auto result = ReleaseCheck::run("/o/X.pkg", ReleaseCheck::Kind::pkg);
  EXPECT_EQ(result.signing, Status::passed());
  EXPECT_EQ(result.notarization, Status::passed());
  EXPECT_EQ(result.stapling, Status::failed("No ticket stapled"));
}

TEST(ReleaseCheckRun, EveryCheckRunsEvenWhenToolsAreMissingOrHang) {
  ScriptedToolRoot tools;
  tools.addTool("/usr/bin/codesign", "echo 'X.dmg: code object is not signed at all' >&2; exit 1");
  tools.addTool("/usr/sbin/spctl", "exec sleep 60");
  // No xcrun at all.
  const auto start = std::chrono::steady_clock::now();
  const auto result = ReleaseCheck::run("/o/X.dmg", ReleaseCheck::Kind::dmg, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(result.signing, Status::failed("Not signed"));
  EXPECT_EQ(result.notarization,
            Status::failed("spctl did not finish within 1 seconds and was stopped"));
  ASSERT_FALSE(result.stapling.isPassed());
  EXPECT_TRUE(result.stapling.reason()->starts_with("Could not run stapler"))
      << *result.stapling.reason();
}

TEST(ReleaseCheckRun, AppleDevelopmentSignatureFailsTheSecondStep) {
  ScriptedToolRoot tools;
  addPassingTools(tools);
  tools.addTool("/usr/bin/codesign",
                "case \"$1\" in\n"
                "  --verify) echo 'X.app: valid on disk' >&2 ;;\n"
                "  -dvv) echo 'Authority=Apple Development: dev@example.com (F6G7H8J9K0)' >&2 ;;\n"
                "esac");
  EXPECT_EQ(ReleaseCheck::checkSigning("/o/X.app"),
            Status::failed("Not signed with a Developer ID Application certificate"));
}
