// Giving a workbook file the shape of workbook_shape.h: three worksheets get
// the code names Sheet1, Sheet2 and Sheet3, and the workbook name KieuDanh
// (A1:A6 of the settings sheet) is added when it is missing. A spreadsheet
// program that does not keep code names (LibreOffice) saves a workbook
// without them.
//
// The edit is made on the file's bytes and touches as little as it can: only
// the workbook part (for KieuDanh) and the sheet parts whose code name
// changes are rewritten, and in each of them one attribute value or one
// element is inserted or replaced, the rest of the part's text kept as it
// was. Every other entry of the package keeps its compressed bytes.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "xlsx/zip_package.h"

namespace kelvora::adopt {

// The tabs of the main, paste and settings sheets as the user names them
// (exactly, case included). All three empty: the worksheets that carry the
// three code names already when every one of them is carried, else the
// first three worksheets in workbook order.
struct SheetTabs {
  std::u16string main, paste, settings;
};

// An adoption that was refused; the message says why, naming sheets by their
// tabs. Nothing was changed.
class AdoptRefused : public host::xlsx::XlsxError {
 public:
  AdoptRefused(const std::string& what, bool tabs_given_wrong)
      : host::xlsx::XlsxError(what), tabs_given_wrong_(tabs_given_wrong) {}
  // True when the fault lies in the tabs given (some but not all of them, a
  // tab no sheet has, one tab for two roles, a chart sheet); false when it
  // lies in the workbook.
  bool tabs_given_wrong() const { return tabs_given_wrong_; }

 private:
  bool tabs_given_wrong_;
};

struct CodeNameChange {
  std::u16string tab;
  std::u16string from;  // empty: the sheet had no code name
  std::u16string to;
};

struct Adoption {
  // The tabs that carry Sheet1, Sheet2 and Sheet3 afterwards.
  std::array<std::u16string, 3> tabs;
  // No tabs were given and the three sheets were taken by their position: a
  // guess that the user should confirm before it is saved.
  bool by_position = false;
  // Every code name that changes, in workbook order. A sheet (of any kind)
  // that carried one of the three code names and is not one of the three
  // gets the first free code name Sheet4, Sheet5, ...
  std::vector<CodeNameChange> changes;
  // KieuDanh was defined as A1:A6 of the settings sheet: the workbook had no
  // such name, or had one that refers to no block of a worksheet (#REF!).
  bool kind_list_added = false;
  // The edited file; empty when the workbook has the shape already and
  // nothing changes.
  std::string bytes;
};

// Adopts the workbook file `bytes` (read within `limits`) as `tabs` says.
// Reads nothing but its arguments and writes nothing. The result, when it
// has bytes, passes WorkbookShapeProblem. Throws XlsxError when `bytes` is
// not a readable workbook file or a part to edit cannot be edited, and
// AdoptRefused when the tabs given do not fit the workbook, the workbook
// has fewer than three worksheets, or its KieuDanh refers to a block that is
// not fit (another sheet than the settings sheet, fewer than six rows):
// that name is the user's and is not redirected.
Adoption AdoptWorkbook(const std::string& bytes, const SheetTabs& tabs,
                       const host::xlsx::PackageLimits& limits = {});

}  // namespace kelvora::adopt
