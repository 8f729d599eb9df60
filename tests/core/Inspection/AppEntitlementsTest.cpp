#include <gtest/gtest.h>

#include <string>

#include "core/Inspection/AppEntitlements.hpp"

using namespace halyard;

namespace {
std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n" +
         body + "\n</plist>\n";
}

AppEntitlements parsed(const std::string& dictBody) {
  auto result = AppEntitlements::parse(plist("<dict>" + dictBody + "</dict>"));
  EXPECT_TRUE(result.has_value());
  return result.value_or(AppEntitlements{});
}

// A runner that answers every call with one outcome and remembers the arguments.
struct FixedRunner {
  ProcessOutcome outcome;
  std::vector<std::string>* arguments;
  ProcessOutcome operator()(const std::filesystem::path& executable,
                            const std::vector<std::string>& args, double,
                            const std::optional<std::string>&) const {
    *arguments = args;
    arguments->insert(arguments->begin(), executable.string());
    return outcome;
  }
};
} // namespace

TEST(AppEntitlementsTest, ParsesValuesSortedByKey) {
  const auto entitlements =
      parsed("<key>z.flag</key><true/>"
             "<key>keychain-access-groups</key><array><string>A1B2C3D4E5.group</string>"
             "<string>other</string></array>"
             "<key>m.dict</key><dict><key>k</key><integer>42</integer><key>n</key><false/></dict>"
             "<key>a.text</key><string>hello world</string>");
  ASSERT_EQ(entitlements.entries.size(), 4u);
  EXPECT_EQ(entitlements.entries[0], (AppEntitlement{"a.text", "hello world"}));
  EXPECT_EQ(entitlements.entries[1],
            (AppEntitlement{"keychain-access-groups", "[A1B2C3D4E5.group, other]"}));
  EXPECT_EQ(entitlements.entries[2], (AppEntitlement{"m.dict", "{k: 42, n: false}"}));
  EXPECT_EQ(entitlements.entries[3], (AppEntitlement{"z.flag", "true"}));
}

TEST(AppEntitlementsTest, RejectsAnythingButADictionary) {
  EXPECT_EQ(AppEntitlements::parse(""), std::nullopt);
  EXPECT_EQ(AppEntitlements::parse("Executable=/x\nnot a property list"), std::nullopt);
  EXPECT_EQ(AppEntitlements::parse(plist("<array><string>a</string></array>")), std::nullopt);
  EXPECT_EQ(AppEntitlements::parse(plist("<dict><key>a</key>")), std::nullopt);
}

TEST(AppEntitlementsTest, AppWithoutEntitlements) {
  const auto empty = parsed("");
  EXPECT_EQ(empty.summary(), "None. The app asks for no special permissions.");
  const auto field = AppEntitlements::field(empty, InspectionFileKind::dmg);
  EXPECT_EQ(field.title(), "Entitlements");
  EXPECT_EQ(field.value(), "None. The app asks for no special permissions.");
  EXPECT_EQ(field.status(), InspectionStatus::info);
  EXPECT_EQ(field.detail(), std::nullopt);
  EXPECT_EQ(field.weight(), 0);
}

TEST(AppEntitlementsTest, ReadThroughCodesign) {
  std::vector<std::string> arguments;
  // Signed without entitlements: codesign succeeds and prints nothing.
  auto read =
      AppEntitlements::read("/V/My.app", FixedRunner{{0, "", "Executable=/V/My.app"}, &arguments});
  EXPECT_EQ(read, AppEntitlements{});

  // Unsigned: the tool fails and the field says so.
  read = AppEntitlements::read(
      "/V/My.app", FixedRunner{{1, "", "code object is not signed at all"}, &arguments});
  EXPECT_EQ(read, std::nullopt);
  const auto field = AppEntitlements::field(read, InspectionFileKind::pkg);
  EXPECT_EQ(field.value(), "Could not be read.");
  EXPECT_EQ(field.status(), InspectionStatus::info);
  EXPECT_EQ(field.detail(), std::nullopt);

  read = AppEntitlements::read(
      "/V/My.app",
      FixedRunner{{0, plist("<dict><key>com.apple.security.app-sandbox</key><true/></dict>"), ""},
                  &arguments});
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->isSandboxed());
}

TEST(AppEntitlementsTest, SandboxedAppWithNetworkAccess) {
  const auto entitlements = parsed("<key>com.apple.security.network.client</key><true/>"
                                   "<key>com.apple.security.app-sandbox</key><true/>");
  EXPECT_EQ(entitlements.summary(), "2 entitlements · App Sandbox on");
  const auto field = AppEntitlements::field(entitlements, InspectionFileKind::dmg);
  EXPECT_EQ(field.status(), InspectionStatus::info);
  EXPECT_EQ(field.detail(),
            "App Sandbox (com.apple.security.app-sandbox) = true\n"
            "Outgoing network connections (com.apple.security.network.client) = true");
}

TEST(AppEntitlementsTest, FalseValuesAreListedButNeitherEnabledNorRisky) {
  const auto entitlements = parsed("<key>com.apple.security.get-task-allow</key><false/>"
                                   "<key>com.apple.security.app-sandbox</key><false/>"
                                   "<key>com.example.custom</key><string>yes</string>");
  EXPECT_FALSE(entitlements.allowsDebugging());
  EXPECT_FALSE(entitlements.isSandboxed());
  EXPECT_TRUE(entitlements.risky().empty());
  EXPECT_EQ(entitlements.summary(), "3 entitlements · not sandboxed");
  const auto field = AppEntitlements::field(entitlements, InspectionFileKind::dmg);
  EXPECT_EQ(field.status(), InspectionStatus::info);
  EXPECT_EQ(field.detail(), "App Sandbox (com.apple.security.app-sandbox) = false\n"
                            "Debugging allowed (com.apple.security.get-task-allow) = false\n"
                            "com.example.custom = yes");
}

TEST(AppEntitlementsTest, DebuggableAppWithoutLibraryValidationWarns) {
  const auto entitlements =
      parsed("<key>com.apple.security.get-task-allow</key><true/>"
             "<key>com.apple.security.cs.disable-library-validation</key><true/>"
             "<key>com.apple.security.temporary-exception.mach-lookup.global-name</key>"
             "<array><string>com.example.helper</string></array>");
  EXPECT_TRUE(entitlements.allowsDebugging());
  EXPECT_EQ(entitlements.summary(),
            "3 entitlements · not sandboxed · 3 relax security protections");
  const auto field = AppEntitlements::field(entitlements, InspectionFileKind::dmg);
  EXPECT_EQ(field.status(), InspectionStatus::warning);
  EXPECT_EQ(field.weight(), 0);
  EXPECT_EQ(field.detail(),
            "Debugging is allowed (get-task-allow). Apple rejects notarization for apps with this "
            "entitlement, so this build was probably not meant for release.\n\n"
            "Relaxes Hardened Runtime protections: Library validation disabled, "
            "com.apple.security.temporary-exception.mach-lookup.global-name. Common for apps with "
            "plug-ins or scripting engines, but worth knowing.\n\n"
            "Library validation disabled (com.apple.security.cs.disable-library-validation) = "
            "true\n"
            "Debugging allowed (com.apple.security.get-task-allow) = true\n"
            "com.apple.security.temporary-exception.mach-lookup.global-name = "
            "[com.example.helper]");
}

TEST(AppEntitlementsTest, OneRiskyEntitlementWithoutDebugging) {
  const auto entitlements = parsed("<key>com.apple.security.cs.allow-jit</key><true/>"
                                   "<key>com.apple.security.cs.debugger</key><true/>");
  EXPECT_EQ(entitlements.summary(),
            "2 entitlements · not sandboxed · 1 relaxes a security protection");
  const auto field = AppEntitlements::field(entitlements, InspectionFileKind::dmg);
  EXPECT_EQ(field.detail(),
            "Relaxes Hardened Runtime protections: Acts as a debugger. Common for apps with "
            "plug-ins or scripting engines, but worth knowing.\n\n"
            "Just-in-time compilation (com.apple.security.cs.allow-jit) = true\n"
            "Acts as a debugger (com.apple.security.cs.debugger) = true");
}
