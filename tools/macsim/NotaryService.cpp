#include "NotaryService.hpp"

#include "Clock.hpp"
#include "Digest.hpp"
#include "Files.hpp"
#include "Knobs.hpp"
#include "NotaryInspector.hpp"
#include "UUID.hpp"

#include <algorithm>
#include <chrono>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* documentation =
    "https://developer.apple.com/documentation/security/"
    "notarizing_macos_software_before_distribution/resolving_common_notarization_issues";

double secondsNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

NotarySubmission submissionFrom(const nlohmann::json& json) {
  NotarySubmission submission;
  submission.id = json.value("id", "");
  submission.name = json.value("name", "");
  submission.createdDate = json.value("createdDate", "");
  submission.processingLeft = std::max(0.0, json.value("readyAt", 0.0) - secondsNow());
  submission.status = submission.finished() ? json.value("status", "") : "In Progress";
  if (submission.finished()) submission.log = json.value("log", nlohmann::json::object());
  return submission;
}

class ScratchFolder {
public:
  explicit ScratchFolder(fs::path path) : path_(std::move(path)) { fs::create_directories(path_); }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

private:
  fs::path path_;
};

} // namespace

NotarySubmission NotaryService::submit(const fs::path& file) const {
  NotarySubmission submission;
  submission.id = UUID::lowercase();
  submission.name = file.filename().string();
  submission.createdDate = Clock::isoMillisecondsNow();

  ScratchFolder scratch(store_.folder() / "tmp" / submission.id);
  auto findings = NotaryInspector::inspect(file, scratch.path());
  if (Knobs::forcedInvalid())
    findings.issues.push_back({submission.name,
                               "The notary service rejected this submission "
                               "(MACSIM_NOTARY_VERDICT=Invalid).",
                               std::nullopt});
  const bool accepted = findings.issues.empty();
  submission.status = accepted ? "Accepted" : "Invalid";

  nlohmann::json issues = nullptr;
  if (!accepted) {
    issues = nlohmann::json::array();
    for (const auto& issue : findings.issues)
      issues.push_back({{"severity", "error"},
                        {"code", nullptr},
                        {"path", issue.path},
                        {"message", issue.message},
                        {"docUrl", documentation},
                        {"architecture", issue.architecture ? nlohmann::json(*issue.architecture)
                                                            : nlohmann::json(nullptr)}});
  }
  nlohmann::json contents = nullptr;
  if (accepted) {
    contents = nlohmann::json::array();
    for (const auto& item : findings.tickets)
      contents.push_back({{"path", item.path},
                          {"digestAlgorithm", "SHA-256"},
                          {"cdhash", item.cdhash.substr(0, 40)},
                          {"arch", item.architecture ? nlohmann::json(*item.architecture)
                                                     : nlohmann::json(nullptr)}});
  }
  submission.log = {{"logFormatVersion", 1},
                    {"jobId", submission.id},
                    {"status", submission.status},
                    {"statusSummary", accepted ? "Ready for distribution"
                                               : "Archive contains critical validation errors"},
                    {"statusCode", accepted ? 0 : 4000},
                    {"archiveFilename", submission.name},
                    {"uploadDate", submission.createdDate},
                    {"sha256", Digest::sha256OfFile(file)},
                    {"ticketContents", contents},
                    {"issues", issues}};

  const double processing = Knobs::notaryProcessingSeconds();
  const nlohmann::json record = {{"id", submission.id},
                                 {"name", submission.name},
                                 {"createdDate", submission.createdDate},
                                 {"readyAt", secondsNow() + processing},
                                 {"status", submission.status},
                                 {"log", submission.log}};
  fs::create_directories(folder() / "submissions");
  Files::writeAtomically(folder() / "submissions" / (submission.id + ".json"),
                         record.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
                             "\n");
  submission.processingLeft = processing;
  if (!submission.finished()) {
    submission.status = "In Progress";
    submission.log = nlohmann::json::object();
  }
  if (accepted) {
    fs::create_directories(folder() / "tickets");
    for (const auto& item : findings.tickets) {
      const nlohmann::json ticket = {{"cdhash", item.cdhash},
                                     {"submission", submission.id},
                                     {"path", item.path},
                                     {"issued", Clock::isoNow()}};
      Files::writeAtomically(folder() / "tickets" / (item.cdhash + ".json"),
                             ticket.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                                 "\n");
    }
  }
  return submission;
}

std::optional<NotarySubmission> NotaryService::find(const std::string& id) const {
  if (id.empty() || id.find('/') != std::string::npos || id.find("..") != std::string::npos)
    return std::nullopt;
  const fs::path file = folder() / "submissions" / (id + ".json");
  if (!fs::is_regular_file(file)) return std::nullopt;
  auto json = nlohmann::json::parse(Files::read(file), nullptr, false);
  if (json.is_discarded()) return std::nullopt;
  return submissionFrom(json);
}

std::vector<NotarySubmission> NotaryService::history() const {
  std::vector<NotarySubmission> result;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder() / "submissions", error)) {
    auto json = nlohmann::json::parse(Files::read(entry.path()), nullptr, false);
    if (!json.is_discarded()) result.push_back(submissionFrom(json));
  }
  std::sort(result.begin(), result.end(),
            [](const auto& a, const auto& b) { return a.createdDate > b.createdDate; });
  return result;
}

std::optional<nlohmann::json> NotaryService::ticket(const std::string& cdhash) const {
  if (cdhash.empty() || cdhash.find('/') != std::string::npos) return std::nullopt;
  const fs::path file = folder() / "tickets" / (cdhash + ".json");
  if (!fs::is_regular_file(file)) return std::nullopt;
  auto json = nlohmann::json::parse(Files::read(file), nullptr, false);
  if (json.is_discarded()) return std::nullopt;
  // Issued on acceptance, but nobody sees it before the verdict is out.
  if (const auto submission = find(json.value("submission", ""));
      submission && !submission->finished())
    return std::nullopt;
  return json;
}

bool NotaryService::countStapleBeforePropagation(const std::string& cdhash, int refusals) const {
  auto record = ticket(cdhash);
  if (!record || refusals <= 0) return false;
  const int refused = record->value("refusedStaples", 0);
  if (refused >= refusals) return false;
  (*record)["refusedStaples"] = refused + 1;
  Files::writeAtomically(folder() / "tickets" / (cdhash + ".json"), record->dump() + "\n");
  return true;
}

} // namespace macsim
