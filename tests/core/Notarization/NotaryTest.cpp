// notarytool's command lines and the answers Notary reads, from a run that records and answers as
// told. Through the stand-in: NotaryPollingTest, NotaryCredentialsStandInTest; `submit --wait` and
// `store-credentials` through their callers: NotaryToolTest.
#include <gtest/gtest.h>

#include <functional>

#include "core/Notarization/Notary.hpp"

using namespace halyard;
using Strings = std::vector<std::string>;

static ToolRun answering(ToolProcessResult result) {
  return [result](const char*, const Strings&) { return result; };
}

TEST(NotaryTest, CommandLines) {
  const auto profile = NotaryCredentials::keychainProfile("p");
  const auto key = NotaryCredentials::apiKey("/k/A.p8", "KEY", "ISS");
  Strings line;
  const ToolRun record = [&line](const char* executable, const Strings& arguments) {
    line = {executable};
    line.insert(line.end(), arguments.begin(), arguments.end());
    return ToolProcessResult{};
  };
  const struct {
    std::function<void()> call;
    Strings expected;
  } cases[] = {
      {[&] { Notary::submit("/out/My App.dmg", key, record); },
       {"/usr/bin/xcrun", "notarytool", "submit", "/out/My App.dmg", "--key", "/k/A.p8", "--key-id",
        "KEY", "--issuer", "ISS", "--output-format", "json"}},
      {[&] { Notary::info("ID", profile, record); },
       {"/usr/bin/xcrun", "notarytool", "info", "ID", "--keychain-profile", "p", "--output-format",
        "json"}},
      {[&] { Notary::log("ID", profile, record); },
       {"/usr/bin/xcrun", "notarytool", "log", "ID", "--keychain-profile", "p"}},
      {[&] { Notary::history(key, record); },
       {"/usr/bin/xcrun", "notarytool", "history", "--key", "/k/A.p8", "--key-id", "KEY",
        "--issuer", "ISS", "--output-format", "json"}},
  };
  for (const auto& c : cases) {
    c.call();
    EXPECT_EQ(line, c.expected);
  }
}

TEST(NotaryTest, ReadsTheAnswers) {
  const auto profile = NotaryCredentials::keychainProfile("p");
  const auto id = [&](ToolProcessResult answer) {
    return Notary::submit("/x", profile, answering(std::move(answer))).id;
  };
  EXPECT_EQ(id({0, R"({"id":" 2efe2717 ","message":"Successfully uploaded file"})", ""}),
            "2efe2717");
  EXPECT_EQ(id({0, "Submission ID received\n  id: 2efe2717", ""}), "");
  EXPECT_EQ(id({1, R"({"id":"2efe2717"})", ""}), "");

  const auto info = [&](ToolProcessResult answer) {
    return Notary::info("ID", profile, answering(std::move(answer)));
  };
  const auto waiting = info({0, R"({"status":"In Progress","id":"ID"})", ""});
  EXPECT_EQ(waiting.status, "In Progress");
  EXPECT_TRUE(waiting.inProgress());
  EXPECT_FALSE(waiting.accepted());
  EXPECT_TRUE(info({0, R"({"status":"ACCEPTED"})", ""}).accepted());
  EXPECT_EQ(info({0, R"({"status":7})", ""}).status, "");
  // Which failed queries are worth asking again.
  const struct {
    int status;
    const char* standardError;
    bool forNow;
  } failures[] = {
      {-2, "", true},
      {1, "Error: Error Domain=NSURLErrorDomain Code=-1005 \"The network connection was lost.\"",
       true},
      {1, "Error: HTTP status code: 503. Service Unavailable", true},
      {1, "Error: HTTP status code: 502", true},
      {1,
       "Error: HTTP status code: 404. Submission does not exist or does not belong to your team.",
       false},
      {1, "Error: HTTP status code: 401. Invalid credentials. Username or password is incorrect.",
       false},
      {-1, "No such file or directory", false},
  };
  for (const auto& f : failures)
    EXPECT_EQ(info({f.status, "", f.standardError}).failedForNow(), f.forNow) << f.standardError;

  EXPECT_EQ(Notary::log("ID", profile, answering({0, R"({"sha256":"AB"})", ""}))->sha256, "ab");
  EXPECT_FALSE(Notary::log("ID", profile, answering({69, R"({"sha256":"AB"})", ""})));

  EXPECT_TRUE(Notary::isOffline("Error: Error Domain=NSURLErrorDomain Code=-1009 \"The Internet "
                                "connection appears to be offline.\""));
  EXPECT_FALSE(Notary::isOffline("Error Domain=NSURLErrorDomain Code=-1005"));
  EXPECT_TRUE(
      Notary::isMissingKeychainProfile("Error: No Keychain password item found for profile: x"));
  EXPECT_FALSE(Notary::isMissingKeychainProfile("Error: HTTP status code: 401."));
}
