#include "report/json.h"

#include <cmath>
#include <cstdio>

#include <charconv>
#include "host/convert.h"
#include "text/utf.h"

namespace kelvora::report {

using host::Value;

namespace {

// The shortest text that reads back as the same number; 0 for both zeros.
std::string NumberText(double number) {
  if (number == 0) return "0";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, number);
  return std::string(buf, res.ptr);
}

}  // namespace

std::string JsonString(const std::u16string& s) {
  std::string out = "\"";
  for (char c : Utf16ToUtf8(s)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonValue(const Value& v) {
  switch (v.type()) {
    case host::ValueType::kEmpty:
      return "null";
    case host::ValueType::kNumber:
      if (!std::isfinite(v.number())) return "null";
      return NumberText(v.number());
    case host::ValueType::kBoolean:
      return v.boolean() ? "true" : "false";
    case host::ValueType::kDate:
    case host::ValueType::kText:
      return JsonString(host::ToText(v));
    case host::ValueType::kError:
      return "\"#ERROR\"";
  }
  return "null";
}

std::string JsonNumber(double d) { return std::isfinite(d) ? NumberText(d) : std::string("null"); }
std::string JsonNumber(const std::optional<double>& d) {
  return d ? JsonNumber(*d) : std::string("null");
}

std::string ChanceJson(const analysis::StageChance& stage, int k) {
  if (stage.state != analysis::StageState::kCurrent) return "null";
  const analysis::MethodChance& m = stage.methods[static_cast<size_t>(k - 1)];
  return "{\"rate\": " + JsonNumber(m.chance_rate) +
         ", \"expected_hits\": " + JsonNumber(m.expected_hits) +
         ", \"p_value\": " + JsonNumber(m.p_value) +
         ", \"p_value_holm\": " + JsonNumber(m.p_value_holm) + ", \"interval95\": [" +
         JsonNumber(m.interval95.low) + ", " + JsonNumber(m.interval95.high) +
         "], \"longest_miss_run_p\": " + JsonNumber(m.longest_miss_run_p) +
         ", \"current_miss_run_p\": " + JsonNumber(m.current_miss_run_p) + "}";
}

std::string StoreQualityJson(const analysis::StoreQuality& quality) {
  std::string examples;
  for (const Value& v : quality.examples) examples += (examples.empty() ? "" : ", ") + JsonValue(v);
  return "{\"results_not_five_digits\": " + std::to_string(quality.results_not_five_digits) +
         ", \"examples\": [" + examples + "]}";
}

std::string MethodsJson(const host::Table& table, const analysis::StageChance& stage,
                        int stage_number) {
  static constexpr const char* kMethodKeys[] = {
      "method", "longest_hit_run", "current_hit_run", "longest_miss_run", "current_miss_run",
      "hits",   "misses",          "hit_rate",        "next_set"};
  std::string s = "[";
  for (int k = 1; k <= 3; ++k) {
    s += k == 1 ? "\n    {" : ",\n    {";
    for (int c = 0; c < 9; ++c) {
      const host::Value& v = table.at(k, c + 1);
      const std::string value = c == 0 && !v.IsEmpty()
                                    ? std::to_string(layout::MethodNumber(stage_number, k))
                                    : JsonValue(v);
      s += std::string(c ? ", " : "") + "\"" + kMethodKeys[c] + "\": " + value;
    }
    s += ", \"chance\": " + ChanceJson(stage, k) + "}";
  }
  return s + "\n  ]";
}

std::string BookJson(const BookJsonHead& head, const analysis::ChanceReport& chance,
                     const std::vector<JsonMember>& after_newest,
                     const std::vector<JsonMember>& after_quality) {
  std::vector<JsonMember> members = {
      {"workbook", JsonString(head.title)},
      {"heading", JsonValue(head.heading)},
      {"stored_draws", std::to_string(head.stored_draws)},
      {"newest_draw", JsonValue(head.newest_draw)},
  };
  members.insert(members.end(), after_newest.begin(), after_newest.end());
  bool stale = false;
  for (const auto& st : chance.stages) stale = stale || st.state == analysis::StageState::kStale;
  for (int s = 0; s < 2; ++s) {
    members.emplace_back(s == 0 ? "methods" : "methods_2",
                         MethodsJson(head.method_tables[static_cast<size_t>(s)],
                                     chance.stages[static_cast<size_t>(s)], s + 1));
  }
  members.emplace_back("rerun_main", stale ? "true" : "false");
  members.emplace_back("store_quality", StoreQualityJson(chance.quality));
  members.insert(members.end(), after_quality.begin(), after_quality.end());
  std::string o = "{";
  for (size_t i = 0; i < members.size(); ++i)
    o += (i ? ",\n  \"" : "\n  \"") + members[i].first + "\": " + members[i].second;
  return o + "\n}";
}

}  // namespace kelvora::report
