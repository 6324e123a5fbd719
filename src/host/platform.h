// Platform services the engine needs beside the spreadsheet: the clipboard
// (its text, and the HTML a paste takes), the message box, the user's short
// date format and the desktop (a temporary file shown with its default
// program). Windows has system implementations (src/excel/);
// the command-line tool has terminal and file-backed ones; tests use scripted
// ones. A session (host/session.h) carries them to the commands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvora::host {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The clipboard's Unicode text exactly as it stands, line breaks included;
  // an empty text when it holds none or cannot be read. Never fails.
  virtual std::u16string GetText() = 0;
  // The clipboard's HTML (a whole page, or the Windows clipboard format with
  // its StartFragment/EndFragment offsets), UTF-8; nothing when it holds
  // none. Only a host that pastes by itself from memory asks for it. Never
  // fails.
  virtual std::optional<std::string> GetHtml() = 0;
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

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Writes `bytes` as the file `name` (a name without a folder) into the
  // user's folder for temporary files, replacing a file of that name, and
  // returns the file's full path. Nothing when the folder is unknown or the
  // file cannot be written; what was written of it may stay.
  virtual std::optional<std::u16string> WriteTemporaryFile(const std::u16string& name,
                                                           std::string_view bytes) = 0;
  // Opens the file at `path` with the user's default program for its kind
  // (a page in the default browser) and returns without waiting for it.
  // False when no program could be started.
  virtual bool Open(const std::u16string& path) = 0;
};

// The services of one platform; a missing one is null, and a command that
// needs it fails (error 91).
struct Platform {
  Clipboard* clipboard = nullptr;
  MessageBox* message_box = nullptr;
  Locale* locale = nullptr;
  Desktop* desktop = nullptr;
};

}  // namespace kelvora::host
