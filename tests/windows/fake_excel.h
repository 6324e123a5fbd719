// A fake Excel for driving Kelvora.dll without Excel: late-bound objects over
// the in-memory workbook with the members, argument names and conventions of
// Excel's object model (puts need DISPID_PROPERTYPUT, a one-cell Value read is
// a scalar and a block a 1-based SAFEARRAY, counts and rows are VT_I4,
// refusals are DISP_E_EXCEPTION with Excel's code), as strict as Excel's
// dispatch: too many arguments, a required one missing, a name the member does
// not have or a put on a member that cannot be set are refused. Its VARIANT
// handling is its own, so a fault in the DLL's is not mirrored. A paste takes
// a grid prepared beforehand.
#pragma once

#include <windows.h>

#include <oleauto.h>
#undef MessageBox

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "memory/memory_workbook.h"

namespace kelvora::testing {

// What the fake objects share; a new state's workbook has no sheets.
struct FakeExcelState {
  std::shared_ptr<host::memory::MemoryApplication> app =
      std::make_shared<host::memory::MemoryApplication>();
  std::shared_ptr<host::memory::MemoryWorkbook> book =
      std::make_shared<host::memory::MemoryWorkbook>(app.get());
  std::optional<host::Table> paste_grid;
  bool refuse_value_reads = false;  // Value reads fail as on a protected or broken sheet
  std::intptr_t window = 0;         // Application.Hwnd
  // The Header a Sort without one takes: the last sort's, 1 (xlYes) or 2
  // (xlNo). Excel keeps it per sheet; the tests sort on one sheet.
  int sort_header = 2;
  bool workbook_open = true;  // Application.ActiveWorkbook: the workbook, or Nothing
  std::vector<std::u16string> added_workbooks;  // each Workbooks.Add's Template ("" if none)
  std::set<LCID> locales;                       // every locale the calls were made in
};

// Fake objects alive right now (every reference handed out must come back).
long FakeObjectsAlive();

// The application and the workbook, each with one reference for the caller.
IDispatch* NewFakeApplication(std::shared_ptr<FakeExcelState> state);
IDispatch* NewFakeWorkbook(std::shared_ptr<FakeExcelState> state);

// The control a ribbon callback takes, as Office passes it: Id, Tag and
// Context (Nothing); one reference for the caller.
IDispatch* NewFakeRibbonControl(std::shared_ptr<FakeExcelState> state, const std::u16string& id);

// The COMAddIn object Office hands to OnConnection as AddInInst: ProgId,
// Description, Connect and Object, with one reference for the caller.
IDispatch* NewFakeComAddIn(std::shared_ptr<FakeExcelState> state);

}  // namespace kelvora::testing
