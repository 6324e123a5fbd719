// The store's CSV as import reads it. Whatever the bytes, the reader either
// refuses them naming a line of the file or gives rows that pass the intakes'
// row check, and those rows written out and read again are the same rows.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "intake/draw_check.h"
#include "intake/store_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvora;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const intake::StoreCsvRows got = intake::ReadStoreCsv(bytes);
  if (got.problem) {
    if (got.rows.rows() != 0) __builtin_trap();
    const bool no_line = got.problem->kind == intake::StoreCsvProblem::Kind::kEncoding;
    if (no_line != (got.problem->line == 0)) __builtin_trap();
    return 0;
  }
  for (int32_t i = 1; i <= got.rows.rows(); ++i) {
    if (!intake::IsDrawNumber(got.rows(i, 1)) || !intake::IsFiveDigitResult(got.rows(i, 2)))
      __builtin_trap();
  }
  const intake::StoreCsvRows again = intake::ReadStoreCsv(intake::StoreCsv(got.rows));
  if (again.problem || !(again.rows == got.rows)) __builtin_trap();
  return 0;
}
