#include "Digest.hpp"
#include "Knobs.hpp"
#include "NotaryService.hpp"
#include "Output.hpp"
#include "StapledTicket.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText = "Usage: stapler staple [-q] [-v] <path>\n"
                                  "       stapler validate [-q] [-v] <path>";

int staple(const ToolContext& context, const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  const auto digest = StapledTicket::itemDigest(path);
  const std::string lookup =
      digest ? digest->substr(0, 40)
             : (fs::is_regular_file(path) ? Digest::sha256OfFile(path).substr(0, 40)
                                          : Digest::sha256(path).substr(0, 40));
  std::string text = "Processing: " + path + "\n";
  if (Knobs::offline()) {
    text += "CloudKit query for " + name + " (2/" + lookup +
            ") failed due to \"The Internet connection appears to be offline.\".\n"
            "Error Domain=NSURLErrorDomain Code=-1009 \"The Internet connection appears to be "
            "offline.\"\nThe staple and validate action failed! Error 68.\n";
    Output::out(text);
    return 68;
  }
  StateStore store(context.stateFolder());
  const NotaryService service(store);
  const auto ticket = digest ? service.ticket(*digest) : std::nullopt;
  // A fresh ticket takes a while to reach the service stapler asks; until then it answers as
  // for a file nobody notarized.
  const bool propagating =
      ticket && service.countStapleBeforePropagation(*digest, Knobs::ticketPropagationStaples());
  if (!ticket || propagating) {
    text += "CloudKit query for " + name + " (2/" + lookup +
            ") failed due to \"Record not found\".\n"
            "Could not find base64 encoded ticket in response for 2/" +
            lookup + "\nThe staple and validate action failed! Error 65.\n";
    Output::out(text);
    return 65;
  }
  if (Knobs::mismatchedTickets()) {
    auto other = *ticket;
    other["cdhash"] = std::string(lookup.size(), '0');
    StapledTicket::write(path, other);
  } else {
    StapledTicket::write(path, *ticket);
  }
  text += "The staple and validate action worked!\n";
  Output::out(text);
  return 0;
}

int validate(const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  std::string text = "Processing: " + path + "\n";
  if (!StapledTicket::read(path)) {
    Output::out(text + name + " does not have a ticket stapled to it.\n");
    return 65;
  }
  if (!StapledTicket::isValid(path)) {
    Output::out(text + name +
                " has a ticket stapled to it, but the ticket does not match its signature.\n"
                "The validate action failed! Error 65.\n");
    return 65;
  }
  Output::out(text + "The validate action worked!\n");
  return 0;
}

} // namespace

int runStapler(const ToolContext& context) {
  const auto& arguments = context.arguments;
  if (arguments.empty()) throw ToolFailure(usageText, 64);
  const std::string& action = arguments.front();
  std::vector<std::string> paths;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    if (argument == "-q" || argument == "-v") continue;
    if (!argument.empty() && argument[0] == '-') throw ToolFailure(usageText, 64);
    paths.push_back(argument);
  }
  if (paths.size() != 1 || (action != "staple" && action != "validate"))
    throw ToolFailure(usageText, 64);
  const std::string& path = paths.front();
  if (!fs::exists(path)) throw ToolFailure(path + " does not exist.", 66);
  return action == "staple" ? staple(context, path) : validate(path);
}

} // namespace macsim
