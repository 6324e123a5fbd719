// The runs the native reference and the Windows test program both make from
// the template workbook: a sample page pasted as HTML or a sample text on the
// clipboard, then commands; they end with the clipboard, every cell and the
// data block of the report page.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace kelvora::testing {

struct Scenario {
  const char* name;
  const char* page;  // in tests/windows/data, or nullptr
  const char* text;  // in tests/windows/data, put on the clipboard with CR LF ends, or nullptr
  std::vector<const char*> commands;
};
inline void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

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

// A whole file, or nothing when it cannot be read.
inline std::optional<std::string> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return in ? std::optional(s.str()) : std::nullopt;
}

// The JSON data block of a report page; empty when it has none.
inline std::string ReportDataBlock(const std::string& page) {
  const std::string open = "<script type=\"application/json\" id=\"kelvora-data\">";
  const size_t start = page.find(open);
  const size_t end = start == std::string::npos ? start : page.find("</script>", start);
  if (end == std::string::npos) return {};
  return page.substr(start + open.size(), end - start - open.size());
}

}  // namespace kelvora::testing
