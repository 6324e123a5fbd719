#include "entry/output_commands.h"

#include <string>

#include "host/clipboard_text.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/layout.h"
#include "host/message.h"
#include "text/utf.h"

namespace kelvora::entry {

void XoaDuLieu(host::Session& session) {
  const int32_t answer = ShowStoredMessage(
      session, u"Bajn cos chawsc muoosn xosa taast car duwx lieeju cux", kMbYesNo);
  if (answer != kIdYes) return;
  host::Worksheet& main = session.MainSheet();
  main.GetRange(layout::A1(layout::kStoreTop))
      ->Resize(layout::kStore.rows(), layout::kStore.cols())
      ->ClearContents();
  main.GetRange(layout::A1(layout::kStoreCount))->ClearContents();
}

void CopyOutput(host::Session& session, int32_t index) {
  if (index < 1 || index > 6) ThrowSubscriptOutOfRange();
  const host::Value v =
      session.MainSheet().GetRange(layout::A1(layout::OutputCell(index)))->GetValue();
  SetClipboardText(session, host::ToText(v));
  ShowStoredMessage(session, u"Ddax Copy PP" + Ascii(std::to_string(index)), kMbIconInformation);
}

}  // namespace kelvora::entry
