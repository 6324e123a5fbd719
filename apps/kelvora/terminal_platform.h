// The platform of the command-line tool, and the one file of the tool that
// calls the system directly: a clipboard fed from a file, standard input or
// the desktop clipboard, a message box that writes to standard error and
// takes its one answer from the command line or the terminal, a locale that
// changes nothing, and where the tool's own binary lies.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/platform.h"

namespace kelvora::tool {

// The desktop clipboard through xclip, xsel or wl-clipboard, when one of
// them is installed and a display is there.
class DesktopClipboard {
 public:
  // Finds a tool; Available() is false when there is none.
  DesktopClipboard();
  bool Available() const { return !reader_.empty(); }
  // The clipboard's content in `mime` ("text/plain" or "text/html");
  // nothing when it has none or cannot be read.
  std::optional<std::string> Read(const std::string& mime) const;
  // Replaces the clipboard's content by a plain text; false on failure.
  bool Write(const std::string& utf8) const;

 private:
  std::string reader_;  // command prefix, "" when unavailable
  std::string html_reader_;
  std::string writer_;
};

class TerminalClipboard : public host::Clipboard {
 public:
  // Reading gives what was set, else asks the desktop clipboard (when
  // `desktop` is not null), else nothing.
  explicit TerminalClipboard(const DesktopClipboard* desktop) : desktop_(desktop) {}
  void set_text(std::u16string text) { text_ = std::move(text); }
  void set_html(std::optional<std::string> html) {
    html_ = std::move(html);
    html_set_ = true;
  }
  // Without a text set, the text is made from the HTML set, by `convert`,
  // when it is first read: a large page is not converted for a command that
  // only pastes it.
  void set_text_of_html(std::function<std::u16string(std::string_view)> convert) {
    text_of_html_ = std::move(convert);
  }

  std::u16string GetText() override;
  std::optional<std::string> GetHtml() override;
  // Keeps the text for the tool to print and offers it to the desktop
  // clipboard when there is one; never fails, since standard output always
  // receives it.
  void SetText(const std::u16string& text) override;

  const std::optional<std::u16string>& written() const { return written_; }

 private:
  const DesktopClipboard* desktop_;
  std::optional<std::u16string> text_;
  std::function<std::u16string(std::string_view)> text_of_html_;
  std::optional<std::string> html_;
  bool html_set_ = false;
  std::optional<std::u16string> written_;
};

// How the question of a Yes/No box is answered.
enum class Answer { kAsk, kYes, kNo };

class TerminalMessageBox : public host::MessageBox {
 public:
  explicit TerminalMessageBox(Answer answer) : answer_(answer) {}
  // Writes "<caption>: <text>" to standard error. A Yes/No box takes the
  // answer given on the command line, else asks on the terminal when
  // standard input is one, else answers No.
  int32_t Show(const std::u16string& text, const std::u16string& caption, int32_t style) override;
  // While quiet, a box that asks nothing is not written (it still answers
  // OK): the tool says what happened in its own words instead.
  void set_quiet(bool quiet) { quiet_ = quiet; }

 private:
  Answer answer_;
  bool quiet_ = false;
};

class QuietLocale : public host::Locale {
 public:
  // The terminal has no per-user short date format to set.
  void SetShortDateFormat(uint32_t, const std::string&) override {}
};

// Opens `path` with the desktop's default program (xdg-open) when a display
// and xdg-open are there; false otherwise or when it cannot be started.
bool OpenInBrowser(const std::string& path);

// The folder of the running tool's binary; "" when it cannot be found.
std::string ExecutableDir();

// Whether `bytes` reads as HTML (a saved page or a clipboard fragment)
// rather than plain text.
bool LooksLikeHtml(std::string_view bytes);

// Sets the allocator for one short run over a large workbook: memory freed
// is kept for the run's later allocations (the pieces of a sheet, one after
// the other) rather than handed back to the system and touched anew, and
// one heap serves every thread. Where the C library offers no such setting,
// nothing changes.
void KeepFreedMemoryForTheRun();

}  // namespace kelvora::tool
