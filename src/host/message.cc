#include "host/message.h"

#include "host/error.h"
#include "text/telex.h"

namespace kelvora {

int32_t ShowMessage(host::Session& session, const std::u16string& text, int32_t flags,
                    const std::u16string& title) {
  const std::u16string caption = TelexToUnicode(title);
  int32_t style = 0;
  if (__builtin_add_overflow(flags, kMbSystemModal, &style)) ThrowOverflow();
  return session.message_box().Show(text, caption, style);
}

int32_t ShowStoredMessage(host::Session& session, const std::u16string& stored_text,
                          int32_t flags) {
  return ShowMessage(session, TelexToUnicode(stored_text), flags, kMessageTitle);
}

void StopByCheck(host::Session& session, const std::u16string& stored_text, int32_t flags) {
  const std::u16string text = TelexToUnicode(stored_text);
  ShowMessage(session, text, flags, kMessageTitle);
  session.MarkStopped(text);
}

}  // namespace kelvora
