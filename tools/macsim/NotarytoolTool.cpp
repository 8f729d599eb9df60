#include "DiskImage.hpp"
#include "FileTrailer.hpp"
#include "Files.hpp"
#include "FlatPackage.hpp"
#include "Keychain.hpp"
#include "Knobs.hpp"
#include "NotaryCredentials.hpp"
#include "NotaryService.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText =
    "OVERVIEW: Manage submissions to the Apple notary service\n\n"
    "USAGE: notarytool <subcommand>\n\n"
    "SUBCOMMANDS:\n"
    "  store-credentials       Save authentication credentials for the Apple notary service.\n"
    "  submit                  Submit an archive to the Apple notary service.\n"
    "  info                    Get status information for a submission.\n"
    "  wait                    Wait for completion of a previous submission.\n"
    "  history                 Get a list of all previous submissions for your team.\n"
    "  log                     Retrieve notarization log for a single completed submission.";

struct Command {
  NotaryCredentials credentials;
  std::vector<std::string> positional;
  bool wait = false;
  bool json = false;
};

Command parse(const std::vector<std::string>& arguments) {
  Command command;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (command.credentials.consume(arguments, i)) continue;
    if (argument == "--wait") {
      command.wait = true;
    } else if (argument == "--output-format" || argument == "-f") {
      if (i + 1 >= arguments.size())
        throw ToolFailure("Error: Missing value for '--output-format <output-format>'", 64);
      const std::string format = arguments[++i];
      if (format != "json" && format != "text" && format != "plist")
        throw ToolFailure("Error: The value '" + format +
                              "' is invalid for '--output-format <output-format>'",
                          64);
      command.json = format == "json";
    } else if (argument == "--timeout" || argument == "--webhook") {
      ++i;
    } else if (argument == "--verbose" || argument == "-v" || argument == "--no-s3-acceleration" ||
               argument == "--sync" || argument == "--validate" || argument == "--no-validate") {
    } else if (!argument.empty() && argument[0] == '-') {
      throw ToolFailure("Error: Unknown option '" + argument + "'\n" + usageText, 64);
    } else {
      command.positional.push_back(argument);
    }
  }
  return command;
}

void requireOnline() {
  if (Knobs::offline()) throw ToolFailure(NotaryCredentials::offlineError());
}

bool supported(const fs::path& file) {
  if (DiskImage::isImage(file) || FlatPackage::isPackage(file)) return true;
  std::FILE* stream = std::fopen(file.c_str(), "rb");
  if (stream == nullptr) return false;
  char magic[4] = {};
  const size_t got = std::fread(magic, 1, 4, stream);
  std::fclose(stream);
  return got == 4 && magic[0] == 'P' && magic[1] == 'K';
}

// How often a waiting notarytool asks the service again, in seconds.
constexpr double statusInterval = 2;

[[noreturn]] void hang() {
  for (;;)
    std::this_thread::sleep_for(std::chrono::hours(1));
}

// Waits for the verdict of `id` the way `--wait` does. Progress goes to standard output unless
// `quiet`: one "Current status: …" update per check; off a terminal they are not separated by
// line breaks, so they run together on one line, ending in "Processing complete" on that line.
NotarySubmission awaitVerdict(const StateStore& store, NotarySubmission submission, bool quiet) {
  const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  const auto update = [&](const std::string& text) {
    if (!quiet) Output::out(terminal ? text + "\n" : text);
  };
  if (Knobs::notaryWaitHangs()) {
    update("Current status: In Progress...");
    hang(); // the verdict is there, but the tool never hears of it
  }
  while (!submission.finished()) {
    update("Current status: In Progress...");
    std::this_thread::sleep_for(
        std::chrono::duration<double>(std::min(statusInterval, submission.processingLeft)));
    requireOnline();
    if (auto latest = NotaryService(store).find(submission.id)) submission = *latest;
  }
  update("Current status: " + submission.status + ".....");
  if (!quiet)
    Output::out("Processing complete\n  id: " + submission.id + "\n  status: " + submission.status +
                "\n");
  return submission;
}

int submit(const ToolContext& context, const Command& command) {
  if (command.positional.empty())
    throw ToolFailure("Error: Missing expected argument '<file-path>'", 64);
  const fs::path file = command.positional.front();
  StateStore store(context.stateFolder());
  command.credentials.check(store);
  if (!fs::is_regular_file(file))
    throw ToolFailure("Error: The file \"" + file.filename().string() +
                      "\" couldn't be opened because there is no such file.");
  if (!supported(file))
    throw ToolFailure("Error: Unrecognized file type: " + file.filename().string() +
                      ". Submit a ZIP archive, a disk image (.dmg) or an installer package "
                      "(.pkg).");
  if (!command.json)
    Output::outLine("Conducting pre-submission checks for " + file.filename().string() +
                    " and initiating connection to the Apple notary service...");
  requireOnline();
  auto submission = NotaryService(store).submit(file);
  if (command.json) {
    nlohmann::json result = {{"id", submission.id}};
    if (command.wait) {
      submission = awaitVerdict(store, submission, true);
      result["message"] = "Processing complete";
      result["status"] = submission.status;
    } else {
      result["message"] = "Successfully uploaded file";
      result["path"] = file.string();
    }
    Output::outLine(result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    return 0;
  }
  Output::out("Submission ID received\n  id: " + submission.id +
              "\nSuccessfully uploaded file\n  id: " + submission.id +
              "\n  path: " + file.string() + "\n");
  if (command.wait) {
    Output::out("Waiting for processing to complete.\n");
    awaitVerdict(store, submission, false);
  }
  return 0;
}

NotarySubmission existing(const StateStore& store, const Command& command) {
  if (command.positional.empty())
    throw ToolFailure("Error: Missing expected argument '<submission-id>'", 64);
  command.credentials.check(store);
  requireOnline();
  auto submission = NotaryService(store).find(command.positional.front());
  if (!submission)
    throw ToolFailure("Error: HTTP status code: 404. Submission does not exist or does not "
                      "belong to your team.");
  return *submission;
}

// The network error of an `info` call that MACSIM_NOTARY_INFO_FAILS makes fail; each failure
// is counted in the state, so that the next N calls fail and later ones succeed.
void failInfoOnDemand(const StateStore& store) {
  const int wanted = Knobs::notaryInfoFailures();
  if (wanted == 0) return;
  bool fail = false;
  store.update("notary/info-failures.json", nlohmann::json::object(), [&](nlohmann::json& state) {
    const int failed = state.value("failed", 0);
    fail = failed < wanted;
    if (fail) state["failed"] = failed + 1;
  });
  if (fail)
    throw ToolFailure("Error: Error Domain=NSURLErrorDomain Code=-1005 \"The network connection "
                      "was lost.\"");
}

int info(const ToolContext& context, const Command& command, bool waiting) {
  StateStore store(context.stateFolder());
  if (!waiting) failInfoOnDemand(store);
  auto submission = existing(store, command);
  if (waiting) submission = awaitVerdict(store, submission, command.json);
  if (command.json) {
    Output::outLine(nlohmann::json({{"createdDate", submission.createdDate},
                                    {"id", submission.id},
                                    {"message", waiting ? "Processing complete"
                                                        : "Successfully received submission info"},
                                    {"name", submission.name},
                                    {"status", submission.status}})
                        .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    return 0;
  }
  if (waiting) return 0;
  Output::out("Successfully received submission info\n  createdDate: " + submission.createdDate +
              "\n  id: " + submission.id + "\n  name: " + submission.name +
              "\n  status: " + submission.status + "\n");
  return 0;
}

int log(const ToolContext& context, const Command& command) {
  StateStore store(context.stateFolder());
  const auto submission = existing(store, command);
  if (!submission.finished())
    throw ToolFailure("Error: Submission log is not yet available or submissionId does not "
                      "exist.\n  id: " +
                      submission.id);
  const std::string text =
      submission.log.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  if (command.positional.size() >= 2) {
    Files::writeAtomically(command.positional[1], text);
    Output::out("Successfully downloaded submission log\n  id: " + submission.id +
                "\n  location: " + Files::absolute(command.positional[1]).string() + "\n");
    return 0;
  }
  Output::out(text);
  return 0;
}

int history(const ToolContext& context, const Command& command) {
  StateStore store(context.stateFolder());
  command.credentials.check(store);
  requireOnline();
  const auto submissions = NotaryService(store).history();
  if (command.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& item : submissions)
      list.push_back({{"createdDate", item.createdDate},
                      {"id", item.id},
                      {"name", item.name},
                      {"status", item.status}});
    Output::outLine(nlohmann::json({{"history", list},
                                    {"message", "Successfully received submission history."}})
                        .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    return 0;
  }
  std::string text = "Successfully received submission history.\n";
  for (const auto& item : submissions)
    text +=
        "  --------------------------------------------------\n  createdDate: " + item.createdDate +
        "\n  id: " + item.id + "\n  name: " + item.name + "\n  status: " + item.status + "\n";
  if (submissions.empty()) text += "  No submission history.\n";
  Output::out(text);
  return 0;
}

std::string prompt(const std::string& question, bool secret) {
  Output::out(question);
  termios saved{};
  const bool terminal = secret && ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line;
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    Output::out("\n");
  }
  if (!got) throw ToolFailure("\nError: No input was given.");
  return line;
}

int storeCredentials(const ToolContext& context, Command command) {
  StateStore store(context.stateFolder());
  Output::out("This process stores your credentials securely in the Keychain. You reference "
              "these credentials later using a profile name.\n\n");
  std::string name =
      command.positional.empty() ? prompt("Profile name: ", false) : command.positional.front();
  if (name.empty()) throw ToolFailure("Error: The profile name must not be empty.", 64);
  NotaryProfile profile{name, "", ""};
  if (command.credentials.keyPath) {
    command.credentials.check(store);
    profile.appleID = "API key " + command.credentials.keyID.value_or("");
    profile.teamID = command.credentials.issuer.value_or("");
  } else {
    profile.appleID = command.credentials.appleID.value_or("");
    if (profile.appleID.empty()) profile.appleID = prompt("Developer Apple ID: ", false);
    if (!command.credentials.password)
      command.credentials.password =
          prompt("App-specific password for " + profile.appleID + ": ", true);
    profile.teamID = command.credentials.teamID.value_or("");
    if (profile.teamID.empty()) profile.teamID = prompt("Developer Team ID: ", false);
    if (profile.appleID.empty() || command.credentials.password->empty() || profile.teamID.empty())
      throw ToolFailure("Error: The Apple ID, the app-specific password and the team ID are all "
                        "required.");
  }
  Output::out("\nValidating your credentials...\n");
  requireOnline();
  Keychain(store).addProfile(profile);
  Output::out("Success. Credentials validated.\nCredentials saved to Keychain.\nTo use them, "
              "specify `--keychain-profile \"" +
              name + "\"`\n");
  return 0;
}

} // namespace

int runNotarytool(const ToolContext& context) {
  if (context.arguments.empty()) throw ToolFailure(usageText, 64);
  const std::string& subcommand = context.arguments.front();
  if (subcommand == "--help" || subcommand == "-h" || subcommand == "help") {
    Output::outLine(usageText);
    return 0;
  }
  if (subcommand == "--version") {
    Output::outLine("1.1.0 (38)");
    return 0;
  }
  const Command command = parse({context.arguments.begin() + 1, context.arguments.end()});
  if (subcommand == "submit") return submit(context, command);
  if (subcommand == "info") return info(context, command, false);
  if (subcommand == "wait") return info(context, command, true);
  if (subcommand == "log") return log(context, command);
  if (subcommand == "history") return history(context, command);
  if (subcommand == "store-credentials") return storeCredentials(context, command);
  throw ToolFailure("Error: Unknown subcommand '" + subcommand + "'\n" + usageText, 64);
}

} // namespace macsim
