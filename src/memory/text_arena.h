// The texts of a sheet's cells, end to end in one buffer: a text is named by
// where it starts and its length, so that a cell needs no string of its own.
// Texts are only ever added; one that no cell uses any more stays until the
// arena goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvora::host::memory {

class TextArena {
 public:
  // Adds `text` and returns where it starts.
  uint64_t Add(std::u16string_view text) {
    const uint64_t at = buffer_.size();
    buffer_.insert(buffer_.end(), text.begin(), text.end());
    return at;
  }
  // The text of `length` code units added at `at`.
  std::u16string_view At(uint64_t at, size_t length) const { return {buffer_.data() + at, length}; }

 private:
  std::vector<char16_t> buffer_;
};

}  // namespace kelvora::host::memory
