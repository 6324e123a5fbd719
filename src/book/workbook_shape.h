// The shape every workbook must have before a command runs on it: the three
// worksheets the engine finds by their code names (Sheet1 the main sheet,
// Sheet2 the paste sheet, Sheet3 the settings sheet) and the workbook name
// KieuDanh on the settings sheet, at least six rows tall. A spreadsheet
// program that does not keep code names (LibreOffice) saves a workbook
// without them; `kelvora adopt` gives them back.
//
// A back end reports what it sees as WorkbookFacts, which name no rule of
// this system; WorkbookShapeProblem judges them. The judgement needs no
// workbook file, so the Windows component can make it too.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host/cell_ref.h"
#include "host/host.h"

namespace kelvora::host::memory {
class MemoryWorkbook;
}

namespace kelvora::book {

// What the shape depends on, as a back end reports it.
struct WorkbookFacts {
  struct Sheet {
    std::u16string tab;
    std::u16string code_name;  // empty: the sheet has none
  };
  // The block a workbook name refers to: a sheet of `worksheets` by index.
  struct Block {
    size_t sheet = 0;
    host::Area area;
  };
  // The worksheets in workbook order.
  std::vector<Sheet> worksheets;
  // Where the workbook name KieuDanh refers to; nothing when the workbook has
  // no such name or it refers to no block of a worksheet.
  std::optional<Block> kind_list;
};

// The facts of a workbook held in memory (a loaded file, or the template).
WorkbookFacts FactsOf(const host::memory::MemoryWorkbook& book);
// The facts of a workbook behind the host interface (the running Excel),
// read without changing anything: each worksheet's tab and code name, and
// the block KieuDanh refers to, found by asking every worksheet for the
// name's range (a worksheet refuses a name that refers to another one).
// Fails as the host fails to list the worksheets.
WorkbookFacts FactsOf(host::Workbook& book);

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
  // kMissingCodeNames: the code names no worksheet carries, in sheet-role
  // order.
  std::vector<std::u16string> missing_code_names;
};

// The first problem of the workbook in the order of Kind; nothing when the
// engine can bind it. When two worksheets carry one code name, the first
// one counts.
std::optional<ShapeProblem> WorkbookShapeProblem(const WorkbookFacts& facts);
std::optional<ShapeProblem> WorkbookShapeProblem(const host::memory::MemoryWorkbook& book);

// The worksheets in workbook order, each as its tab in quotes with its code
// name: "'Main' (Sheet1), 'Notes' (no code name)".
std::string WorksheetsText(const WorkbookFacts& facts);

// A tab as the messages quote it: 'Cài đặt'.
std::string QuotedTab(const std::u16string& tab);

}  // namespace kelvora::book
