// The Windows platform services: the system clipboard, MessageBoxW and the
// user's short date format.
#pragma once

#include "host/platform.h"

namespace kelvora::host::excel {

class WindowsClipboard : public Clipboard {
 public:
  // Opens the clipboard without an owner window and copies its Unicode text;
  // an empty text when it cannot be opened, holds no text or cannot be
  // locked. The clipboard is closed again on every path.
  std::u16string GetText() override;
  // Excel pastes the clipboard itself; the engine never reads its HTML here.
  std::optional<std::string> GetHtml() override { return std::nullopt; }
  // Empties the clipboard and places `text` as CF_TEXT in the ANSI code page;
  // Windows offers the Unicode form to readers that ask for it. Fails (1004)
  // when the clipboard cannot be opened or written.
  void SetText(const std::u16string& text) override;
};

class WindowsMessageBox : public MessageBox {
 public:
  // MessageBoxW owned by the foreground window; its result unchanged.
  int32_t Show(const std::u16string& text, const std::u16string& caption, int32_t style) override;
};

class WindowsLocale : public Locale {
 public:
  // SetLocaleInfoA(lcid, LOCALE_SSHORTDATE, format); the result is ignored.
  void SetShortDateFormat(uint32_t lcid, const std::string& format) override;
};

// The three services above, one set per process (they hold no state).
Platform WindowsPlatform();

}  // namespace kelvora::host::excel
