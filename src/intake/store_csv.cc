#include "intake/store_csv.h"

#include <cctype>
#include <map>
#include <utility>
#include <vector>

#include "host/convert.h"
#include "host/layout.h"
#include "intake/draw_check.h"
#include "text/utf.h"

namespace kelvora::intake {

namespace {

using Kind = StoreCsvProblem::Kind;

constexpr char kHeader[] = "draw,result";

// A field as RFC 4180 writes it: quoted when it holds a comma, a quote or a
// line end, with its quotes doubled.
std::string CsvField(const host::Value& v) {
  const std::string text = v.IsError() ? "#ERROR" : Utf16ToUtf8(host::ToText(v));
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

bool SameNoCase(const std::u16string& a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] > 0x7F ||
        std::tolower(static_cast<unsigned char>(a[i])) != static_cast<unsigned char>(b[i]))
      return false;
  }
  return true;
}

// One record of the file: its fields, where it begins and its text.
struct Record {
  std::vector<std::u16string> fields;
  int64_t line = 0;
  std::u16string_view text;
  bool unended_quote = false;
  bool text_after_quote = false;
};

// Splits records off the decoded text, one at a time.
class CsvReader {
 public:
  explicit CsvReader(std::u16string_view text) : s_(text) {}

  bool Next(Record& r) {
    if (at_ >= s_.size()) return false;
    r = Record{};
    r.line = line_;
    const size_t start = at_;
    size_t end = s_.size();  // where the record's text ends (its line end excluded)
    std::u16string field;
    bool ended = false;
    while (!ended) {
      if (at_ < s_.size() && s_[at_] == u'"' && field.empty()) {
        ++at_;
        for (;;) {
          if (at_ >= s_.size()) {
            r.unended_quote = true;
            break;
          }
          const char16_t c = s_[at_++];
          if (c == u'"') {
            if (at_ < s_.size() && s_[at_] == u'"') {
              field += u'"';
              ++at_;
              continue;
            }
            break;
          }
          if (c == u'\n' || (c == u'\r' && (at_ >= s_.size() || s_[at_] != u'\n'))) ++line_;
          field += c;
        }
        if (at_ < s_.size() && s_[at_] != u',' && s_[at_] != u'\r' && s_[at_] != u'\n')
          r.text_after_quote = true;
      }
      while (at_ < s_.size() && s_[at_] != u',' && s_[at_] != u'\r' && s_[at_] != u'\n')
        field += s_[at_++];
      r.fields.push_back(std::move(field));
      field.clear();
      if (at_ >= s_.size()) {
        end = s_.size();
        ended = true;
      } else if (s_[at_] == u',') {
        ++at_;
      } else {
        end = at_;
        at_ += s_[at_] == u'\r' && at_ + 1 < s_.size() && s_[at_ + 1] == u'\n' ? 2 : 1;
        ++line_;
        ended = true;
      }
    }
    r.text = s_.substr(start, end - start);
    return true;
  }

 private:
  std::u16string_view s_;
  size_t at_ = 0;
  int64_t line_ = 1;
};

StoreCsvRows Refused(Kind kind, const Record& r, int64_t earlier_line = 0) {
  StoreCsvRows out;
  out.problem = StoreCsvProblem{kind, r.line, Utf16ToUtf8(r.text), earlier_line};
  return out;
}

}  // namespace

std::string StoreCsv(const host::Table& block) {
  std::string out = std::string(kHeader) + '\n';
  for (int32_t i = 1; i <= block.rows(); ++i)
    out += CsvField(block(i, 1)) + ',' + CsvField(block(i, 2)) + '\n';
  return out;
}

StoreCsvRows ReadStoreCsv(std::string_view bytes) {
  const std::optional<std::u16string> text = DecodeTextFile(bytes);
  if (!text) return {host::Table(), StoreCsvProblem{Kind::kEncoding, 0, {}, 0}};

  struct Taken {
    int64_t line;
    std::u16string result;
  };
  std::map<double, Taken> taken;
  std::vector<std::pair<double, std::u16string>> rows;
  CsvReader reader(*text);
  bool first = true;
  for (Record r; reader.Next(r);) {
    if (r.unended_quote || r.text_after_quote) return Refused(Kind::kQuote, r);
    if (r.fields.size() == 1 && r.fields[0].empty()) continue;  // a blank line
    if (std::exchange(first, false) && r.fields.size() == 2 && SameNoCase(r.fields[0], "draw") &&
        SameNoCase(r.fields[1], "result"))
      continue;
    if (r.fields.size() != 2) return Refused(Kind::kFields, r);
    const host::Value draw(r.fields[0]);
    if (!IsDrawNumber(draw)) return Refused(Kind::kDraw, r);
    if (!IsFiveDigitResult(host::Value(r.fields[1]))) return Refused(Kind::kResult, r);
    const double number = host::ToDouble(draw);
    const auto [at, first_time] = taken.emplace(number, Taken{r.line, r.fields[1]});
    if (!first_time) {
      if (at->second.result == r.fields[1]) continue;
      return Refused(Kind::kConflict, r, at->second.line);
    }
    if (static_cast<int64_t>(rows.size()) >= layout::kStoreCapacity)
      return Refused(Kind::kTooMany, r);
    rows.emplace_back(number, std::move(r.fields[1]));
  }
  StoreCsvRows out;
  out.rows = host::Table(static_cast<int32_t>(rows.size()), 2);
  for (int32_t i = 1; i <= out.rows.rows(); ++i) {
    auto& [number, result] = rows[static_cast<size_t>(i - 1)];
    out.rows(i, 1) = host::Value(number);
    out.rows(i, 2) = host::Value(std::move(result));
  }
  return out;
}

}  // namespace kelvora::intake
