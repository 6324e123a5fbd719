// The Windows platform services: the system clipboard, MessageBoxW, the
// user's short date format, and the temporary folder and default programs
// of the desktop.
#pragma once

#include <cstdint>
#include <functional>

#include "host/platform.h"

namespace kelvora::host::excel {

// How a busy clipboard is waited for: `tries` attempts to open it, with
// `pause(pause_ms)` between two of them. The default waits about half a
// second in all; tests pass a pause of their own.
struct ClipboardRetry {
  int tries = 5;
  unsigned pause_ms = 125;
  std::function<void(unsigned ms)> pause;  // null: Sleep
};

class WindowsClipboard : public Clipboard {
 public:
  // `owner` is the window the clipboard is opened with (the host's; 0 for
  // none). Another program may hold the clipboard for a moment: every
  // operation tries to open it as `retry` says. The clipboard is closed
  // again on every path after it was opened.
  explicit WindowsClipboard(std::intptr_t owner = 0, ClipboardRetry retry = {})
      : owner_(owner), retry_(std::move(retry)) {}

  // The clipboard's Unicode text; an empty text when it cannot be opened,
  // holds no text or cannot be locked.
  std::u16string GetText() override;
  // Excel pastes the clipboard itself; the engine never reads its HTML here.
  std::optional<std::string> GetHtml() override { return std::nullopt; }
  // Empties the clipboard, which makes the owner window its owner, and
  // places `text` as CF_TEXT in the ANSI code page; Windows offers the
  // Unicode form to readers that ask for it. Fails (1004) when the clipboard
  // cannot be opened or written.
  void SetText(const std::u16string& text) override;

 private:
  bool Open() const;

  std::intptr_t owner_;
  ClipboardRetry retry_;
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

class WindowsDesktop : public Desktop {
 public:
  // Into GetTempPathW's folder, created or replaced with CreateFileW.
  std::optional<std::u16string> WriteTemporaryFile(const std::u16string& name,
                                                   std::string_view bytes) override;
  // ShellExecuteW's "open"; true when it reports success.
  bool Open(const std::u16string& path) override;
};

// The services above with `clipboard`; the message box, the locale and the
// desktop are one set per process (they hold no state). `clipboard` is not
// owned.
Platform WindowsPlatform(Clipboard* clipboard);

}  // namespace kelvora::host::excel
