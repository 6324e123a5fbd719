// The context every command runs in: the bound workbook, the platform
// services and what the command came to. A command takes its session as its
// first argument and reaches the workbook, the clipboard and the message box
// through it alone; nothing it uses is global.
//
// The Windows component builds a session for each call from the state that
// Sup bound on the calling thread (entry/host_state.h); the command-line tool
// builds one on the workbook file it opened. A session does not own the
// platform services: they must outlive it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/host.h"
#include "host/platform.h"

namespace kelvora::host {

// The six host references a bound workbook is reached through, and the
// host's window. Empty until bound; a code name that no sheet carries leaves
// its sheet empty.
struct BoundBook {
  std::shared_ptr<Application> ExcelApp;
  std::shared_ptr<Workbook> ThisWorkBook;
  std::shared_ptr<WorksheetFunction> WorksheetFunc;
  std::shared_ptr<Worksheet> MainSheet;
  std::shared_ptr<Worksheet> PasteSheet;
  std::shared_ptr<Worksheet> SettingsSheet;
  // ExcelApp's Hwnd, read once at binding: the owner of the clipboard while
  // a command writes it. 0 when the host has no window or did not tell.
  std::intptr_t HostWindow = 0;
};

// How a command ended, when it did not fail.
enum class Outcome {
  kRanToEnd,
  // One of its checks stopped it and told the user why; what it wrote before
  // the check stays.
  kStoppedByCheck,
};

class Session {
 public:
  Session(BoundBook book, Platform platform) : book_(std::move(book)), platform_(platform) {}

  // Checked access: an empty reference or a missing service fails with
  // error 91 (object variable not set), as using an unset object does in the
  // host, and nothing else happens.
  Application& ExcelApp() const;
  Workbook& ThisWorkBook() const;
  WorksheetFunction& WorksheetFunc() const;
  Worksheet& MainSheet() const;
  Worksheet& PasteSheet() const;
  Worksheet& SettingsSheet() const;
  Clipboard& clipboard() const;
  MessageBox& message_box() const;
  // May be null: a platform without a per-user date format.
  Locale* locale() const { return platform_.locale; }

  const BoundBook& book() const { return book_; }
  const Platform& platform() const { return platform_; }

  // Set when a paste of the clipboard failed; a table intake clears it
  // before it pastes.
  bool paste_failed = false;

  // Threads the analysis may use; 0 lets the analysis choose.
  int workers = 0;

  // Words how to mend a stored result that a page contradicts, the last line
  // of the intakes' refusal: given the draw number and the page's result, a
  // Unicode text. Unset: the component's own wording (correct the result
  // cell of the draw's row on the main sheet).
  std::function<std::u16string(const std::u16string& draw, const std::u16string& result)>
      result_remedy;

  Outcome outcome() const { return outcome_; }
  // The message (Unicode) that told the user why the command stopped.
  const std::u16string& stop_message() const { return stop_message_; }
  // Records that a check stopped the command with `message`. The first stop
  // is kept.
  void MarkStopped(std::u16string message);

 private:
  BoundBook book_;
  Platform platform_;
  Outcome outcome_ = Outcome::kRanToEnd;
  std::u16string stop_message_;
};

}  // namespace kelvora::host
