// The ribbon's check of the active workbook before a command runs on it:
// the workbook shape the tool checks (book/workbook_shape.h), read from the
// running Excel without changing anything and told in Vietnamese, with the
// way out ("Sổ mới").
#pragma once

#include <windows.h>

#include <oleauto.h>
#undef MessageBox

#include <optional>
#include <string>

#include "excel/dispatch.h"

namespace kelvora::com {

// Application.ActiveWorkbook; a null reference when Excel has no workbook
// open. Fails as the call fails.
host::excel::DispatchPtr ActiveWorkbook(IDispatch* app);

// What keeps the engine from binding `book` (null: no workbook open), as a
// message that names what is missing and points to "Sổ mới"; nothing when
// the workbook has Kelvora's shape. Fails as Excel fails to answer.
std::optional<std::u16string> ShapeRefusal(IDispatch* book);

// The message of the check when the workbook has the shape.
std::u16string ShapeConfirmation();

}  // namespace kelvora::com
