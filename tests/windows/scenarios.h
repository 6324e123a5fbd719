// The runs the native reference and the Windows test program both make from
// the template workbook: a sample page pasted as HTML or a sample text on the
// clipboard, then commands; they end with the clipboard, every cell and the
// data block of the report page. Cells and pasted grids go in a plain-text
// form the two compare line for line.
// A value is written as "<type>:<content>": "n:" number (shortest exact
// decimal), "t:" text (UTF-8, with \\, \t, \r and \n escaped), "b:0" / "b:1",
// "d:" date serial, "e:" error code. Empty cells are not written.
#pragma once

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "memory/memory_workbook.h"
#include "text/utf.h"

namespace kelvora::testing {

struct Scenario {
  const char* name;
  const char* page;  // in tests/windows/data, or nullptr
  const char* text;  // in tests/windows/data, put on the clipboard with CR LF ends, or nullptr
  std::vector<const char*> commands;
};
inline void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

// XoaDuLieu is not confirmed (a scripted No natively, no desktop under Wine).
inline const std::vector<Scenario> kScenarios = {
    {"ngay", "ket-qua-theo-ngay.html", nullptr, {"DanKQXSNgay", "Main", "XoaDuLieu", "Copy1"}},
    {"100", "ket-qua-100-ky.html", nullptr, {"DanKQXS", "Main", "Copy2"}},
    {"db", nullptr, "dac-biet.txt", {"DanKQXSDB", "Main", "Copy3"}}};

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

// The escaped characters, each followed by its letter.
inline constexpr char kEscapes[] = "\\\\\tt\rr\nn";

inline std::string EscapeText(const std::u16string& s) {
  std::string out;
  for (char ch : Utf16ToUtf8(s)) {
    const char* e = ch ? strchr(kEscapes, ch) : nullptr;
    out += e && (e - kEscapes) % 2 == 0 ? std::string{'\\', e[1]} : std::string(1, ch);
  }
  return out;
}

inline std::string EncodeValue(const host::Value& v) {
  const std::string type = {" ntbde"[static_cast<int>(v.type())], ':'};
  if (v.IsNumber() || v.IsDate()) {
    char buf[40];
    const double d = v.IsDate() ? v.date_serial() : v.number();
    return type + std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
  }
  if (v.IsText()) return type + EscapeText(v.text());
  if (v.IsBoolean()) return type + (v.boolean() ? "1" : "0");
  return v.IsError() ? type + std::to_string(v.error_code()) : "";
}

// A value of a pasted grid, where a page gives only numbers and texts.
inline host::Value DecodeValue(const std::string& s) {
  const std::string body = s.size() < 2 ? "" : s.substr(2);
  if (s.starts_with("n:")) return host::Value(strtod(body.c_str(), nullptr));
  std::string text;
  for (size_t i = 0; i < body.size(); ++i) {
    const char* e = body[i] == '\\' && i + 1 < body.size() ? strchr(kEscapes, body[++i]) : nullptr;
    text += e && (e - kEscapes) % 2 == 1 ? e[-1] : body[i];
  }
  return host::Value(Utf8ToUtf16(text));
}

// A pasted grid: "grid <rows> <cols>" then "<row> <col>\t<value>" per
// non-empty cell; "none" when there is nothing to paste.
inline std::string EncodeGrid(const std::optional<host::Table>& grid) {
  if (!grid || grid->rows() == 0 || grid->cols() == 0) return "none\n";
  std::string out = "grid " + std::to_string(grid->rows()) + " " + std::to_string(grid->cols());
  for (int32_t r = 1; r <= grid->rows(); ++r) {
    for (int32_t c = 1; c <= grid->cols(); ++c) {
      const std::string v = EncodeValue((*grid)(r, c));
      if (!v.empty()) out += "\n" + std::to_string(r) + " " + std::to_string(c) + "\t" + v;
    }
  }
  return out + "\n";
}

inline std::optional<host::Table> DecodeGrid(const std::string& text) {
  std::istringstream in(text);
  std::string word, value;
  int32_t rows = 0, cols = 0, r = 0, c = 0;
  if (!(in >> word >> rows >> cols) || word != "grid" || rows <= 0 || cols <= 0)
    return std::nullopt;
  host::Table t(rows, cols);
  while (in >> r >> c && in.get() == '\t' && std::getline(in, value))
    if (r >= 1 && r <= rows && c >= 1 && c <= cols) t(r, c) = DecodeValue(value);
  return t;
}

// Every cell of every sheet that holds a value or a formula, with its number
// format when not General, in sheet order, column by column.
inline std::string DumpWorkbook(const host::memory::MemoryWorkbook& book) {
  std::string out;
  for (const auto& sheet : book.sheets()) {
    for (int32_t c = 1; c <= sheet->UsedCols(); ++c) {
      for (int32_t r = 1; r <= sheet->ColumnLength(c); ++r) {
        const host::memory::Cell& cell = sheet->cell(r, c);
        const std::u16string& format = book.StyleNumberFormat(cell.style);
        if (cell.value.IsEmpty() && cell.formula.empty()) continue;
        out += Utf16ToUtf8(sheet->CodeName()) + "!" + Utf16ToUtf8(host::memory::ColumnLetters(c)) +
               std::to_string(r) + "\t" + EncodeValue(cell.value);
        if (!cell.formula.empty()) out += "\tf:" + EscapeText(cell.formula);
        if (format != u"General") out += "\tfmt:" + EscapeText(format);
        out += "\n";
      }
    }
  }
  return out;
}

}  // namespace kelvora::testing
