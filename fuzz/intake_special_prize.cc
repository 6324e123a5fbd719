// The special-prize text intake, from clipboard text to the store, on the
// in-memory workbook. The input is UTF-8 text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "host/error.h"
#include "host/host.h"
#include "host/layout.h"
#include "intake/intake_commands.h"
#include "intake/special_prize_text.h"
#include "memory/memory_workbook.h"
#include "support/bound_workbook.h"
#include "text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvora;
  const std::u16string text =
      Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));

  const auto page = intake::ReadSpecialPrizeText(text, host::TrimSpaces);
  for (const auto& block : page.blocks) {
    if (block.key.size() > 10) __builtin_trap();
    if (block.result && (block.result->empty() || block.result->find(u' ') != std::u16string::npos))
      __builtin_trap();
  }
  (void)intake::IsTwentySevenPrizeHeader(page.heading);

  // One bound workbook for the whole run (the template is large); the
  // store is set back to its one draw before every input.
  static auto* bound = new testing::BoundWorkbook();
  auto& platform = bound->platform;
  auto& main = bound->main();
  constexpr int32_t first = layout::kStoreFirstRow;
  const int32_t used = std::max(main.ColumnLength(1), first);
  main.GetRange(layout::A1(layout::kStoreTop))->Resize(used - first + 1, 2)->ClearContents();
  main.PutValue(first, layout::kStoreDrawCol, host::Value(24000));
  main.PutValue(first, layout::kStoreResultCol, host::Value(u"12345"));
  main.PutValue(layout::kStoreCount.row, layout::kStoreCount.col, host::Value(1));
  platform.messages.clear();
  platform.clipboard.set_text(text);
  try {
    bound->Run(intake::DanKQXSDB);
  } catch (const CommandError&) {
    // A refusal of the host or a capacity error: a clean command failure.
  }
  // The store stays whole: its count matches its rows.
  int32_t last = first - 1;
  while (!main.cell(last + 1, 1).value.IsEmpty() || !main.cell(last + 1, 2).value.IsEmpty()) ++last;
  const host::Value& count = main.cell(layout::kStoreCount.row, layout::kStoreCount.col).value;
  if (!count.IsNumber() || count.number() != last - first + 1) __builtin_trap();
  return 0;
}
