#include "entry/host_state.h"

#include "host/error.h"
#include "host/platform.h"

namespace kelvora {

namespace {
thread_local HostState g_state;

template <typename T>
T& Checked(const std::shared_ptr<T>& p, const char* name) {
  if (!p) ThrowObjectRequired(name);
  return *p;
}
}  // namespace

HostState& CurrentHostState() { return g_state; }

host::Application& ExcelApp() { return Checked(g_state.ExcelApp, "ExcelApp"); }
host::WorksheetFunction& WorksheetFunc() { return Checked(g_state.WorksheetFunc, "WorksheetFunc"); }
host::Worksheet& MainSheet() { return Checked(g_state.MainSheet, "MainSheet"); }
host::Worksheet& PasteSheet() { return Checked(g_state.PasteSheet, "PasteSheet"); }
host::Worksheet& SettingsSheet() { return Checked(g_state.SettingsSheet, "SettingsSheet"); }

void BindWorkbook() {
  HostState& s = g_state;
  s.WorksheetFunc = Checked(s.ExcelApp, "ExcelApp").GetWorksheetFunction();
  for (const auto& sheet : Checked(s.ThisWorkBook, "ThisWorkBook").Worksheets()) {
    const std::u16string code_name = sheet->CodeName();
    if (code_name == u"Sheet1") s.MainSheet = sheet;
    if (code_name == u"Sheet2") s.PasteSheet = sheet;
    if (code_name == u"Sheet3") s.SettingsSheet = sheet;
  }
  if (host::Locale* locale = host::CurrentPlatform().locale) {
    try {
      locale->SetShortDateFormat(0x042A, "dd/MM/yyyy");
    } catch (...) {
      // A refused locale change goes unnoticed, as it does on the desktop.
    }
  }
}

void ReleaseWorkbook() noexcept {
  HostState& s = g_state;
  if (!s.ExcelApp) return;
  try {
    s.ExcelApp->SetCellDragAndDrop(true);
  } catch (...) {
    // The references are given back whatever the host answered.
  }
  s.ExcelApp.reset();
  s.ThisWorkBook.reset();
  s.WorksheetFunc.reset();
  s.MainSheet.reset();
  s.PasteSheet.reset();
  s.SettingsSheet.reset();
}

}  // namespace kelvora
