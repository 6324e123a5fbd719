// The runs that the native reference and the Windows test program both make,
// from the template workbook: each takes a sample page (pasted as HTML) or a
// sample text (read from the clipboard), runs commands in order and ends with
// the clipboard's text and every cell of the workbook.
#pragma once

#include <string>
#include <vector>

namespace kelvora::testing {

struct Scenario {
  const char* name;
  // A page in tests/windows/data pasted by the table intakes, or nullptr.
  const char* page;
  // A text in tests/windows/data put on the clipboard (with CR LF line
  // ends, as a browser leaves it), or nullptr.
  const char* text;
  std::vector<const char*> commands;
};

inline const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> all = {
      // XoaDuLieu gets no Yes (a scripted No natively, no desktop under
      // Wine), so the store stays.
      {"ngay", "ket-qua-theo-ngay.html", nullptr, {"DanKQXSNgay", "Main", "XoaDuLieu", "Copy1"}},
      {"100", "ket-qua-100-ky.html", nullptr, {"DanKQXS", "Main", "Copy2"}},
      {"db", nullptr, "dac-biet.txt", {"DanKQXSDB", "Main", "Copy3"}},
  };
  return all;
}

}  // namespace kelvora::testing
