// Binding a workbook and giving it back: the start-up that Sup runs and the
// shut-down that destroying a Sub runs. The command-line tool binds the
// workbook file it opened the same way.
#pragma once

#include "host/platform.h"
#include "host/session.h"

namespace kelvora {

// Start-up: binds WorksheetFunc, reads the host's window (0 when the host
// refuses to tell it) and binds the three sheets by code name ("Sheet1",
// "Sheet2", "Sheet3", compared exactly, all three comparisons for every
// sheet), then sets the user's short date format to dd/MM/yyyy for the
// Vietnamese locale through `locale` when there is one (a refusal goes
// unnoticed). A code name that no sheet carries leaves its reference as it
// was. Fails when ExcelApp or ThisWorkBook is not usable; what was bound
// before the failure stays.
void BindWorkbook(host::BoundBook& book, host::Locale* locale);

// Shut-down: when ExcelApp is held, switches cell drag-and-drop on and
// releases the six references in the order ExcelApp, ThisWorkBook,
// WorksheetFunc, MainSheet, PasteSheet, SettingsSheet, and forgets the
// window. Otherwise nothing.
// Never throws: a refused setting is ignored and the references are still
// released.
void ReleaseWorkbook(host::BoundBook& book) noexcept;

}  // namespace kelvora
