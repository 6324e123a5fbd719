#include "host/session.h"

#include "host/error.h"

namespace kelvora::host {

namespace {

template <typename T>
T& Checked(const std::shared_ptr<T>& p, const char* name) {
  if (!p) ThrowObjectRequired(name);
  return *p;
}

template <typename T>
T& Checked(T* p, const char* name) {
  if (p == nullptr) ThrowObjectRequired(name);
  return *p;
}

}  // namespace

Application& Session::ExcelApp() const { return Checked(book_.ExcelApp, "ExcelApp"); }
Workbook& Session::ThisWorkBook() const { return Checked(book_.ThisWorkBook, "ThisWorkBook"); }
WorksheetFunction& Session::WorksheetFunc() const {
  return Checked(book_.WorksheetFunc, "WorksheetFunc");
}
Worksheet& Session::MainSheet() const { return Checked(book_.MainSheet, "MainSheet"); }
Worksheet& Session::PasteSheet() const { return Checked(book_.PasteSheet, "PasteSheet"); }
Worksheet& Session::SettingsSheet() const { return Checked(book_.SettingsSheet, "SettingsSheet"); }
Clipboard& Session::clipboard() const { return Checked(platform_.clipboard, "clipboard"); }
MessageBox& Session::message_box() const { return Checked(platform_.message_box, "message box"); }

void Session::MarkStopped(std::u16string message) {
  if (outcome_ == Outcome::kStoppedByCheck) return;
  outcome_ = Outcome::kStoppedByCheck;
  stop_message_ = std::move(message);
}

}  // namespace kelvora::host
