// The module-wide host state: six counted references to host objects, one
// copy per thread, shared by every Sub instance created on that thread. Empty
// until Sup has run; emptied again by the shut-down.
#pragma once

#include <memory>

#include "host/host.h"

namespace kelvora {

struct HostState {
  std::shared_ptr<host::Application> ExcelApp;
  std::shared_ptr<host::Workbook> ThisWorkBook;
  std::shared_ptr<host::WorksheetFunction> WorksheetFunc;
  std::shared_ptr<host::Worksheet> MainSheet;
  std::shared_ptr<host::Worksheet> PasteSheet;
  std::shared_ptr<host::Worksheet> SettingsSheet;
};

// The calling thread's state.
HostState& CurrentHostState();

// Checked access for command bodies: an empty reference fails with error 91
// (object variable not set), as using an unset object does in the host.
host::Application& ExcelApp();
host::WorksheetFunction& WorksheetFunc();
host::Worksheet& MainSheet();
host::Worksheet& PasteSheet();
host::Worksheet& SettingsSheet();

// Start-up: binds WorksheetFunc and the three sheets by code name ("Sheet1",
// "Sheet2", "Sheet3", compared exactly, all three comparisons for every
// sheet), then sets the user's short date format to dd/MM/yyyy for the
// Vietnamese locale. A code name that no sheet carries leaves its reference
// as it was. Fails when ExcelApp or ThisWorkBook is not usable; what was
// bound before the failure stays.
void BindWorkbook();

// Shut-down: when ExcelApp is held, switches cell drag-and-drop on and
// releases the six references in the order ExcelApp, ThisWorkBook,
// WorksheetFunc, MainSheet, PasteSheet, SettingsSheet. Otherwise nothing.
// Never throws: a refused setting is ignored and the references are still
// released.
void ReleaseWorkbook() noexcept;

}  // namespace kelvora
