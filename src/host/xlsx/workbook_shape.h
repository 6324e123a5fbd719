// The shape every workbook file must have before a command runs on it: the
// three worksheets the engine finds by their code names (Sheet1 the main
// sheet, Sheet2 the paste sheet, Sheet3 the settings sheet) and the
// workbook name KieuDanh on the settings sheet, at least six rows tall. A
// spreadsheet program that does not keep code names (LibreOffice) saves a
// workbook without them; `kelvora adopt` gives them back.
#pragma once

#include <optional>
#include <string>

#include "host/memory/memory_workbook.h"

namespace kelvora::host::xlsx {

struct ShapeProblem {
  enum class Kind {
    kMissingCodeNames,   // no worksheet carries one or more of the three code names
    kNoKindList,         // no workbook name KieuDanh refers to a block of a worksheet
    kKindListElsewhere,  // KieuDanh refers to another sheet than the settings sheet
    kKindListTooShort,   // KieuDanh has fewer than six rows
  };
  Kind kind;
  // What is wrong, in words fit to print (UTF-8); sheets are named by their
  // tabs. It does not say how to mend it: that is the caller's to add.
  std::string description;
};

// The first problem of `book` in the order of Kind; nothing when the engine
// can bind it. Looks at the sheets' code names and tabs and the workbook's
// names only.
std::optional<ShapeProblem> WorkbookShapeProblem(const memory::MemoryWorkbook& book);

// The worksheets in workbook order, each as its tab in quotes with its code
// name: "'Main' (Sheet1), 'Notes' (no code name)".
std::string WorksheetsText(const memory::MemoryWorkbook& book);

// A tab as the messages quote it: 'Cài đặt'.
std::string QuotedTab(const std::u16string& tab);

}  // namespace kelvora::host::xlsx
