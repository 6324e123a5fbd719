#include "excel/windows_platform.h"

#include <windows.h>

#include <shellapi.h>
#undef MessageBox

#include <algorithm>
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

std::optional<std::u16string> WindowsDesktop::WriteTemporaryFile(const std::u16string& name,
                                                                 std::string_view bytes) {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH) return std::nullopt;
  std::u16string path(reinterpret_cast<const char16_t*>(folder), n);
  if (path.back() != u'\\') path += u'\\';
  path += name;
  const HANDLE file =
      CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, FILE_SHARE_READ,
                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  bool written = true;
  while (written && !bytes.empty()) {
    DWORD done = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
    written = WriteFile(file, bytes.data(), chunk, &done, nullptr) && done > 0;
    bytes.remove_prefix(done);
  }
  if (!CloseHandle(file)) written = false;
  if (!written) return std::nullopt;
  return path;
}

bool WindowsDesktop::Open(const std::u16string& path) {
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(path.c_str()), nullptr,
                    nullptr, SW_SHOWNORMAL);
  // A value above 32 is success; below, one of the SE_ERR_ codes.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

Platform WindowsPlatform(Clipboard* clipboard) {
  static WindowsMessageBox message_box;
  static WindowsLocale locale;
  static WindowsDesktop desktop;
  return Platform{clipboard, &message_box, &locale, &desktop};
}

}  // namespace kelvora::host::excel
