// What a new workbook file carries on a sheet beside its cells: column widths
// and list validations. Plain data, so that the built-in template can name it
// without depending on the file back end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora::host::memory {

struct ColumnWidth {
  int32_t first = 1;
  int32_t last = 1;
  double width = 8.43;  // in characters of the default font
};

// A drop-down list: the cells of `sqref` ("B1 B7") accept the values of
// `source` (a formula without "=", such as a defined name).
struct ListValidation {
  std::string sqref;
  std::string source;
};

struct SheetLayout {
  std::u16string code_name;
  std::vector<ColumnWidth> column_widths;
  std::vector<ListValidation> list_validations;
};

}  // namespace kelvora::host::memory
