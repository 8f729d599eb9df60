// Random record lists for the .DS_Store writer: whatever the names, codes and values, it
// returns exactly 16,388 bytes or throws tooManyRecords, and nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Finder/DSStoreWriter.hpp"

namespace {

class Input {
public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return at_ >= size_; }
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string text(size_t count) {
    std::string out;
    while (count-- > 0 && !empty())
      out += static_cast<char>(byte());
    return out;
  }
  uint32_t number() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value = (value << 8) | byte();
    return value;
  }

private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input(data, size);
  std::vector<halyard::DSStoreRecord> records;
  while (!input.empty()) {
    halyard::DSStoreRecord record;
    record.filename = input.text(input.byte());
    record.code = input.text(4);
    switch (input.byte() % 4) {
    case 0:
      record.value = halyard::DSStoreRecord::Long{input.number()};
      break;
    case 1:
      record.value = halyard::DSStoreRecord::Bool{(input.byte() & 1) != 0};
      break;
    case 2:
      record.value = halyard::DSStoreRecord::Type{input.text(4)};
      break;
    default: {
      const size_t length = (size_t{input.byte()} << 8) | input.byte();
      const std::string bytes = input.text(length);
      record.value = halyard::DSStoreRecord::Blob{halyard::Bytes(bytes.begin(), bytes.end())};
    }
    }
    records.push_back(std::move(record));
  }

  try {
    if (halyard::DSStoreWriter::data(std::move(records)).size() != 16388) std::abort();
  } catch (const halyard::DSStoreWriter::Failure& failure) {
    if (failure.kind() != halyard::DSStoreWriter::Failure::Kind::tooManyRecords) std::abort();
  }
  return 0;
}
