#pragma once

// The core library's notes, collected for the scope of one test.

#include <string>
#include <vector>

#include "core/Support/HalyardCoreLog.hpp"

namespace bosun::testing {

class NoteCapture {
public:
  NoteCapture() {
    halyard::HalyardCoreLog::note = [this](const std::string& message) {
      notes.push_back(message);
    };
  }
  ~NoteCapture() { halyard::HalyardCoreLog::note = nullptr; }
  NoteCapture(const NoteCapture&) = delete;
  NoteCapture& operator=(const NoteCapture&) = delete;

  std::vector<std::string> notes;
};

} // namespace bosun::testing
