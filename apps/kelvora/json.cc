#include "json.h"

#include <cmath>
#include <cstdio>

#include "host/convert.h"
#include "host/xlsx/xlsx_text.h"
#include "text/utf.h"

namespace kelvora::tool {

using host::Value;

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
      return host::xlsx::NumberText(v.number());
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

std::string JsonNumber(double d) {
  return std::isfinite(d) ? host::xlsx::NumberText(d) : std::string("null");
}
std::string JsonNumber(const std::optional<double>& d) {
  return d ? JsonNumber(*d) : std::string("null");
}

}  // namespace kelvora::tool
