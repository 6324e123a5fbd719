// A plain-text form of cell values, pasted grids and whole workbooks, shared
// by the native reference run and the program that drives Kelvora.dll under
// Wine, so that the two can be compared line for line.
//
// A value is written as "<type>:<content>": "n:" number (shortest exact
// decimal), "t:" text (UTF-8, with \\, \t and \n escaped), "b:0" / "b:1",
// "d:" date serial, "e:" error code. Empty cells are not written.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "host/memory/memory_workbook.h"
#include "text/utf.h"

namespace kelvora::testing {

inline std::string NumberText(double d) {
  char buf[40];
  for (int precision = 15; precision <= 17; ++precision) {
    snprintf(buf, sizeof buf, "%.*g", precision, d);
    if (strtod(buf, nullptr) == d) break;
  }
  return buf;
}

inline std::string EscapeText(const std::u16string& s) {
  std::string out;
  for (char ch : Utf16ToUtf8(s)) {
    if (ch == '\\') {
      out += "\\\\";
    } else if (ch == '\t') {
      out += "\\t";
    } else if (ch == '\n') {
      out += "\\n";
    } else if (ch == '\r') {
      out += "\\r";
    } else {
      out += ch;
    }
  }
  return out;
}

inline std::u16string UnescapeText(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[++i];
      out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    } else {
      out += s[i];
    }
  }
  return Utf8ToUtf16(out);
}

inline std::string EncodeValue(const host::Value& v) {
  switch (v.type()) {
    case host::ValueType::kEmpty:
      return "";
    case host::ValueType::kNumber:
      return "n:" + NumberText(v.number());
    case host::ValueType::kText:
      return "t:" + EscapeText(v.text());
    case host::ValueType::kBoolean:
      return v.boolean() ? "b:1" : "b:0";
    case host::ValueType::kDate:
      return "d:" + NumberText(v.date_serial());
    case host::ValueType::kError:
      return "e:" + std::to_string(v.error_code());
  }
  return "";
}

inline host::Value DecodeValue(const std::string& s) {
  if (s.size() < 2 || s[1] != ':') return host::Value();
  const std::string body = s.substr(2);
  switch (s[0]) {
    case 'n':
      return host::Value(strtod(body.c_str(), nullptr));
    case 't':
      return host::Value(UnescapeText(body));
    case 'b':
      return host::Value::Boolean(body == "1");
    case 'd':
      return host::Value::Date(strtod(body.c_str(), nullptr));
    case 'e':
      return host::Value::Error(static_cast<int32_t>(strtol(body.c_str(), nullptr, 10)));
    default:
      return host::Value();
  }
}

// A pasted grid: "grid <rows> <cols>" then "<row>\t<col>\t<value>" per
// non-empty cell; "none" when there is nothing to paste.
inline std::string EncodeGrid(const std::optional<host::Table>& grid) {
  if (!grid || grid->rows() == 0 || grid->cols() == 0) return "none\n";
  std::string out =
      "grid " + std::to_string(grid->rows()) + " " + std::to_string(grid->cols()) + "\n";
  for (int32_t r = 1; r <= grid->rows(); ++r) {
    for (int32_t c = 1; c <= grid->cols(); ++c) {
      const std::string v = EncodeValue((*grid)(r, c));
      if (!v.empty()) out += std::to_string(r) + "\t" + std::to_string(c) + "\t" + v + "\n";
    }
  }
  return out;
}

inline std::optional<host::Table> DecodeGrid(const std::string& text) {
  std::istringstream in(text);
  std::string word;
  int32_t rows = 0, cols = 0;
  if (!(in >> word) || word != "grid" || !(in >> rows >> cols) || rows <= 0 || cols <= 0) {
    return std::nullopt;
  }
  host::Table t(rows, cols);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    const size_t a = line.find('\t');
    const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
    if (b == std::string::npos) continue;
    const int32_t r = static_cast<int32_t>(strtol(line.substr(0, a).c_str(), nullptr, 10));
    const int32_t c =
        static_cast<int32_t>(strtol(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10));
    if (r >= 1 && r <= rows && c >= 1 && c <= cols) t(r, c) = DecodeValue(line.substr(b + 1));
  }
  return t;
}

// Every cell of every sheet that holds a value, a formula or a number format
// other than General, in sheet order, column by column.
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
