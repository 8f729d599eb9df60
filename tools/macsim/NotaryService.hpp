#pragma once

#include "StateStore.hpp"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace macsim {

struct NotarySubmission {
  std::string id;
  std::string name;
  std::string createdDate; // 2026-12-06T10:15:02.123Z
  std::string status;      // In Progress until the verdict is out, then Accepted or Invalid
  nlohmann::json log;
  // Seconds until the verdict is out (MACSIM_NOTARY_PROCESSING at submission); 0 once it is.
  double processingLeft = 0;

  bool finished() const { return processingLeft <= 0; }
};

// The stand-in notary service: every submission is inspected at once (NotaryInspector); an
// accepted one issues a ticket for each piece of code in it, keyed by cdhash. The verdict and the
// tickets become visible only once the submission's processing time has passed. Submissions live
// in var/macsim/notary/submissions, tickets in var/macsim/notary/tickets.
class NotaryService {
public:
  explicit NotaryService(const StateStore& store) : store_(store) {}

  NotarySubmission submit(const std::filesystem::path& file) const;
  std::optional<NotarySubmission> find(const std::string& id) const;
  // Newest first.
  std::vector<NotarySubmission> history() const;
  // The ticket the service holds for this cdhash, if it issued one.
  std::optional<nlohmann::json> ticket(const std::string& cdhash) const;
  // Whether this staple of the ticket still comes before it has propagated: true for the first
  // `refusals` staples after it was issued (each call counts one in the ticket's record).
  bool countStapleBeforePropagation(const std::string& cdhash, int refusals) const;

private:
  std::filesystem::path folder() const { return store_.folder() / "notary"; }
  const StateStore& store_;
};

} // namespace macsim
