#include "entry/binding.h"

#include "host/error.h"
#include "host/layout.h"

namespace kelvora {

namespace {

template <typename T>
T& Checked(const std::shared_ptr<T>& p, const char* name) {
  if (!p) ThrowObjectRequired(name);
  return *p;
}

}  // namespace

void BindWorkbook(host::BoundBook& b, host::Locale* locale) {
  host::Application& app = Checked(b.ExcelApp, "ExcelApp");
  b.WorksheetFunc = app.GetWorksheetFunction();
  try {
    b.HostWindow = app.Hwnd();
  } catch (const CommandError&) {
    // Without the window the clipboard is opened without an owner.
    b.HostWindow = 0;
  }
  for (const auto& sheet : Checked(b.ThisWorkBook, "ThisWorkBook").Worksheets()) {
    const std::u16string code_name = sheet->CodeName();
    if (code_name == layout::kMainSheetCode) b.MainSheet = sheet;
    if (code_name == layout::kPasteSheetCode) b.PasteSheet = sheet;
    if (code_name == layout::kSettingsSheetCode) b.SettingsSheet = sheet;
  }
  if (locale != nullptr) {
    try {
      locale->SetShortDateFormat(0x042A, "dd/MM/yyyy");
    } catch (...) {
      // A refused locale change goes unnoticed, as it does on the desktop.
    }
  }
}

void ReleaseWorkbook(host::BoundBook& b) noexcept {
  if (!b.ExcelApp) return;
  try {
    b.ExcelApp->SetCellDragAndDrop(true);
  } catch (...) {
    // The references are given back whatever the host answered.
  }
  b.ExcelApp.reset();
  b.ThisWorkBook.reset();
  b.WorksheetFunc.reset();
  b.MainSheet.reset();
  b.PasteSheet.reset();
  b.SettingsSheet.reset();
  b.HostWindow = 0;
}

}  // namespace kelvora
