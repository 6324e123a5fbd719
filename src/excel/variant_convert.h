// Conversions between automation VARIANTs and the engine's cell values and
// tables, as Excel hands them over: a one-cell Value read is a scalar, a block
// read a two-dimensional SAFEARRAY of VARIANT (rows first, usually 1-based).
#pragma once

#include "excel/dispatch.h"
#include "host/value.h"

namespace kelvora::host::excel {

// Numbers of every width and currency become numbers, BSTR text, VT_BOOL a
// truth value, VT_DATE a date (as the 1900-system serial), VT_ERROR an error
// value (its low word: 2042 for #N/A), VT_EMPTY and VT_NULL empty. A value
// passed by reference is read through. Anything else (an object, an array)
// fails with a type mismatch (13).
Value ToValue(const VARIANT& v);
// The reverse; an error value becomes VT_ERROR with the facility-control
// code Excel uses (0x800A0000 | code).
Variant ToVariant(const Value& v);

// A scalar gives a 1 by 1 table; a one-dimensional array one row; a
// two-dimensional array its rows and columns whatever its lower bounds.
Table ToTable(const VARIANT& v);
// A two-dimensional, 1-based SAFEARRAY of VARIANT of the table's shape.
Variant ToVariantArray(const Table& t);

// Dates: OLE dates count from 1899-12-30, Excel's 1900 system from
// 1900-01-00 and counts the non-existent 1900-02-29 (serial 60); the two
// agree from 1900-03-01 (serial 61) on.
double OleDateToSerial(double ole);
double SerialToOleDate(double serial);

}  // namespace kelvora::host::excel
