#include "entry/output_commands.h"

#include <string>

#include "entry/host_state.h"
#include "host/convert.h"
#include "host/error.h"
#include "text/clipboard.h"
#include "text/message.h"
#include "text/utf.h"

namespace kelvora::entry {

void XoaDuLieu() {
  const int32_t answer =
      ShowStoredMessage(u"Bajn cos chawsc muoosn xosa taast car duwx lieeju cux", kMbYesNo);
  if (answer != kIdYes) return;
  MainSheet().GetRange(u"A17")->Resize(65000, 2)->ClearContents();
  MainSheet().GetRange(u"B15")->ClearContents();
}

void CopyOutput(int32_t index) {
  static constexpr const char16_t* kCells[] = {u"L3", u"L4", u"L5", u"L9", u"L10", u"L11"};
  if (index < 1 || index > 6) ThrowSubscriptOutOfRange();
  const host::Value v = MainSheet().GetRange(kCells[index - 1])->GetValue();
  SetClipboardText(host::ToText(v));
  ShowStoredMessage(u"Ddax Copy PP" + Ascii(std::to_string(index)), kMbIconInformation);
}

}  // namespace kelvora::entry
