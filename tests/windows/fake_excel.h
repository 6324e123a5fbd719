// A fake Excel for driving Kelvora.dll without Excel: automation objects
// (IDispatch, late-bound by name only) over the in-memory workbook, with the
// members, argument names and calling conventions of Excel's object model:
// property puts need DISPID_PROPERTYPUT, named arguments are looked up by
// GetIDsOfNames, a one-cell Value read is a scalar and a block read a 1-based
// two-dimensional SAFEARRAY, refusals come back as DISP_E_EXCEPTION with
// Excel's error code. Its VARIANT handling is written apart from the DLL's so
// that a fault in one is not mirrored by the other.
//
// A paste takes a grid prepared beforehand (the HTML conversion of a paste is
// Excel's own business and is not built for Windows here).
#pragma once

#include <windows.h>

#include <oleauto.h>
#undef MessageBox

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/memory/memory_workbook.h"

namespace kelvora::testing {

// Everything the fake objects share: the workbook, the grid a paste takes,
// the log of calls and refusals to inject.
struct FakeExcelState {
  std::shared_ptr<host::memory::MemoryApplication> app;
  std::shared_ptr<host::memory::MemoryWorkbook> book;
  std::optional<host::Table> paste_grid;
  // Each call as "Object.Member" followed by "(name=...,...)" for named
  // arguments, or "=put" for a property put.
  std::vector<std::string> log;
  // When set, Value reads of ranges fail as a protected or broken sheet does.
  bool refuse_value_reads = false;
};

// Fake objects alive right now (to check that every reference handed out is
// given back).
long FakeObjectsAlive();

// The application and the workbook, each with one reference for the caller.
IDispatch* NewFakeApplication(std::shared_ptr<FakeExcelState> state);
IDispatch* NewFakeWorkbook(std::shared_ptr<FakeExcelState> state);

// Independent VARIANT helpers of the fake (also used by the tests).
host::Value FakeToValue(const VARIANT& v);
void FakeFromValue(const host::Value& v, VARIANT* out);

}  // namespace kelvora::testing
