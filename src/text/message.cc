#include "text/message.h"

#include "host/error.h"
#include "host/platform.h"
#include "text/telex.h"

namespace kelvora {

int32_t ShowMessage(const std::u16string& text, int32_t flags, const std::u16string& title) {
  const std::u16string caption = TelexToUnicode(title);
  int32_t style = 0;
  if (__builtin_add_overflow(flags, kMbSystemModal, &style)) ThrowOverflow();
  host::MessageBox* box = host::CurrentPlatform().message_box;
  if (box == nullptr) ThrowObjectRequired("message box");
  return box->Show(text, caption, style);
}

int32_t ShowStoredMessage(const std::u16string& stored_text, int32_t flags) {
  return ShowMessage(TelexToUnicode(stored_text), flags, kMessageTitle);
}

}  // namespace kelvora
