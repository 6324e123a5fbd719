// The Excel back end of the host layer: every member of host.h implemented by
// a late-bound call into the running Excel (dispatch.h). Each object holds one
// counted reference to its Excel object and gives it back on destruction.
//
// Blocks move as one call each: a range read is one Value get, a range write
// one Value put of a 1-based two-dimensional array. A text that reads as a
// number is passed as text; Excel itself stores it as a number except in a
// cell formatted as Text ("@"), which is the host layer's contract. A sort
// passes Header:=xlNo, since Excel would otherwise take the Header of the
// sheet's last sort.
#pragma once

#include <memory>

#include "excel/dispatch.h"
#include "host/host.h"

namespace kelvora::host::excel {

// Wraps Excel's Application and Workbook objects. A null pointer gives a
// null result (an empty host reference).
std::shared_ptr<Application> WrapApplication(IDispatch* app);
std::shared_ptr<Workbook> WrapWorkbook(IDispatch* workbook);
std::shared_ptr<Worksheet> WrapWorksheet(IDispatch* sheet);
std::unique_ptr<Range> WrapRange(IDispatch* range);

}  // namespace kelvora::host::excel
