#include "host/excel/windows_platform.h"

#include <windows.h>
#undef MessageBox

#include <string>

#include "host/error.h"

namespace kelvora::host::excel {

namespace {

// Closes the clipboard when the scope ends, if it was opened.
struct OpenedClipboard {
  bool open;
  ~OpenedClipboard() {
    if (open) CloseClipboard();
  }
};

}  // namespace

bool WindowsClipboard::Open() const {
  const HWND owner = reinterpret_cast<HWND>(owner_);
  for (int attempt = 1;; ++attempt) {
    if (OpenClipboard(owner)) return true;
    if (attempt >= retry_.tries) return false;
    if (retry_.pause) {
      retry_.pause(retry_.pause_ms);
    } else {
      Sleep(retry_.pause_ms);
    }
  }
}

std::u16string WindowsClipboard::GetText() {
  OpenedClipboard clip{Open()};
  if (!clip.open) return {};
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return {};
  const auto* text = static_cast<const char16_t*>(GlobalLock(data));
  if (text == nullptr) return {};
  // The copy stays within the block even when the data lacks its terminator.
  const size_t limit = GlobalSize(data) / sizeof(char16_t);
  size_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  std::u16string out;
  try {
    out.assign(text, n);
  } catch (...) {
    out.clear();
  }
  GlobalUnlock(data);
  return out;
}

void WindowsClipboard::SetText(const std::u16string& text) {
  const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) ThrowHostRefused("The text cannot be placed on the clipboard");
  OpenedClipboard clip{Open()};
  if (!clip.open) ThrowHostRefused("The clipboard cannot be opened");
  if (!EmptyClipboard()) ThrowHostRefused("The clipboard cannot be emptied");
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(bytes));
  if (mem == nullptr) ThrowHostRefused("Out of memory for the clipboard");
  auto* dest = static_cast<char*>(GlobalLock(mem));
  if (dest == nullptr) {
    GlobalFree(mem);
    ThrowHostRefused("Out of memory for the clipboard");
  }
  WideCharToMultiByte(CP_ACP, 0, wide, -1, dest, bytes, nullptr, nullptr);
  GlobalUnlock(mem);
  if (SetClipboardData(CF_TEXT, mem) == nullptr) {
    // Ownership passes to the system only on success.
    GlobalFree(mem);
    ThrowHostRefused("The clipboard cannot be written");
  }
}

int32_t WindowsMessageBox::Show(const std::u16string& text, const std::u16string& caption,
                                int32_t style) {
  return MessageBoxW(GetForegroundWindow(), reinterpret_cast<const wchar_t*>(text.c_str()),
                     reinterpret_cast<const wchar_t*>(caption.c_str()), static_cast<UINT>(style));
}

void WindowsLocale::SetShortDateFormat(uint32_t lcid, const std::string& format) {
  SetLocaleInfoA(static_cast<LCID>(lcid), LOCALE_SSHORTDATE, format.c_str());
}

Platform WindowsPlatform(Clipboard* clipboard) {
  static WindowsMessageBox message_box;
  static WindowsLocale locale;
  return Platform{clipboard, &message_box, &locale};
}

}  // namespace kelvora::host::excel
