// Platform services the engine needs beside the spreadsheet: the clipboard's
// text, the message box and the user's short date format. Windows has system
// implementations (src/host/excel/); the command-line tool has terminal and
// file-backed ones; tests use the scripted ones of scripted_platform.h.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora::host {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The clipboard's Unicode text exactly as it stands, line breaks included;
  // an empty text when it holds none or cannot be read. Never fails.
  virtual std::u16string GetText() = 0;
  // Replaces everything on the clipboard by `text` as plain text. Fails with
  // a CommandError when the clipboard cannot be opened or written.
  virtual void SetText(const std::u16string& text) = 0;
};

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Shows `text` with `caption`, in Unicode, modally and in front of all
  // windows; `style` is the message-box style (buttons, icon, 4096 for
  // system-modal). Returns the button code: 1 OK, 6 Yes, 7 No, 0 when the box
  // could not be shown.
  virtual int32_t Show(const std::u16string& text, const std::u16string& caption,
                       int32_t style) = 0;
};

class Locale {
 public:
  virtual ~Locale() = default;
  // Sets the user's short date format for locale `lcid`. A refusal is not
  // reported.
  virtual void SetShortDateFormat(uint32_t lcid, const std::string& format) = 0;
};

struct Platform {
  Clipboard* clipboard = nullptr;
  MessageBox* message_box = nullptr;
  Locale* locale = nullptr;
};

// The platform of the calling thread. Host programs install theirs at start;
// until then every service is missing, and using one fails (error 91).
Platform& CurrentPlatform();
void SetCurrentPlatform(const Platform& platform);

}  // namespace kelvora::host
