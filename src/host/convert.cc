#include "host/convert.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/error.h"
#include "text/utf.h"

namespace kelvora::host {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::optional<double> ParseRadixLiteral(std::u16string_view t) {
  // "&H1F", "&O17"
  if (t.size() < 3 || t[0] != u'&') return std::nullopt;
  const char16_t kind = t[1];
  int base = 0;
  if (kind == u'H' || kind == u'h') base = 16;
  if (kind == u'O' || kind == u'o') base = 8;
  if (base == 0) return std::nullopt;
  double value = 0;
  for (size_t i = 2; i < t.size(); ++i) {
    char16_t c = t[i];
    int d = -1;
    if (IsDigit(c)) d = c - u'0';
    if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
    if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
    if (d < 0 || d >= base) return std::nullopt;
    value = value * base + d;
    if (value > 4294967295.0) return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<double> ParseNumericText(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  std::u16string_view t = text.substr(b, e - b);
  if (t.empty()) return std::nullopt;
  if (t[0] == u'&') return ParseRadixLiteral(t);

  std::string ascii;  // what strtod reads: sign, digits, '.', exponent
  size_t i = 0;
  if (t[i] == u'+' || t[i] == u'-') ascii.push_back(static_cast<char>(t[i++]));
  while (i < t.size() && IsBlank(t[i])) ++i;  // "- 5" reads as -5
  int digits = 0;
  while (i < t.size() && (IsDigit(t[i]) || (t[i] == u',' && digits > 0))) {
    if (t[i] != u',') {
      ascii.push_back(static_cast<char>(t[i]));
      ++digits;
    }
    ++i;
  }
  if (i < t.size() && t[i] == u'.') {
    ascii.push_back('.');
    ++i;
    while (i < t.size() && IsDigit(t[i])) {
      ascii.push_back(static_cast<char>(t[i++]));
      ++digits;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == u'E' || t[i] == u'e' || t[i] == u'D' || t[i] == u'd')) {
    ascii.push_back('E');
    ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ascii.push_back(static_cast<char>(t[i++]));
    int exp_digits = 0;
    while (i < t.size() && IsDigit(t[i])) {
      ascii.push_back(static_cast<char>(t[i++]));
      ++exp_digits;
    }
    if (exp_digits == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  const double v = std::strtod(ascii.c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

std::u16string NumberToText(double number) {
  if (number == 0) return u"0";
  if (std::isnan(number) || std::isinf(number)) return u"0";
  if (std::fabs(number) < 1e15 && number == std::trunc(number)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", number);
    return Ascii(buf);
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", number);
  std::string s(buf);
  // Trim trailing zeros of the mantissa ("%G" already does), and write the
  // exponent with at least two digits and an explicit sign.
  auto epos = s.find('E');
  if (epos != std::string::npos) {
    std::string mant = s.substr(0, epos);
    std::string exp = s.substr(epos + 1);
    char sign = '+';
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) {
      sign = exp[0];
      exp = exp.substr(1);
    }
    while (exp.size() > 2 && exp[0] == '0') exp.erase(0, 1);
    while (exp.size() < 2) exp.insert(0, "0");
    s = mant + "E" + sign + exp;
  }
  return Ascii(s);
}

std::u16string DateToText(double serial) {
  const double day_part = std::floor(serial);
  long days = static_cast<long>(day_part);
  int y = 1900, m = 1, d = 0;
  if (days == 60) {  // the host's 29 February 1900
    y = 1900, m = 2, d = 29;
  } else {
    if (days < 60) days += 1;  // serials before the phantom leap day
    // days since 1899-12-30 -> civil date
    long z = days - 25569 + 719468;  // 25569 = serial of 1970-01-01
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  }
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, m, y);
  std::string s(buf);
  const double frac = serial - day_part;
  if (frac > 0) {
    long secs = std::lround(frac * 86400.0);
    std::snprintf(buf, sizeof buf, " %02ld:%02ld:%02ld", secs / 3600, (secs / 60) % 60, secs % 60);
    s += buf;
  }
  return Ascii(s);
}

std::u16string ToText(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
      return {};
    case ValueType::kNumber:
      return NumberToText(v.number());
    case ValueType::kText:
      return v.text();
    case ValueType::kBoolean:
      return v.boolean() ? u"True" : u"False";
    case ValueType::kDate:
      return DateToText(v.date_serial());
    case ValueType::kError:
      break;
  }
  ThrowTypeMismatch();
}

double ToDouble(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
      return 0;
    case ValueType::kNumber:
      return v.number();
    case ValueType::kBoolean:
      return v.boolean() ? -1 : 0;
    case ValueType::kDate:
      return v.date_serial();
    case ValueType::kText:
      if (auto d = ParseNumericText(v.text())) return *d;
      break;
    case ValueType::kError:
      break;
  }
  ThrowTypeMismatch();
}

int16_t DoubleToInt16(double d) {
  const double r = std::nearbyint(d);  // default rounding mode: half to even
  if (!(r >= -32768.0 && r <= 32767.0)) ThrowOverflow();
  return static_cast<int16_t>(r);
}

int32_t DoubleToInt32(double d) {
  const double r = std::nearbyint(d);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) ThrowOverflow();
  return static_cast<int32_t>(r);
}

int16_t ToInt16(const Value& v) { return DoubleToInt16(ToDouble(v)); }
int32_t ToInt32(const Value& v) { return DoubleToInt32(ToDouble(v)); }

bool IsNumericValue(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
    case ValueType::kNumber:
    case ValueType::kBoolean:
      return true;
    case ValueType::kText:
      return ParseNumericText(v.text()).has_value();
    case ValueType::kDate:
    case ValueType::kError:
      return false;
  }
  return false;
}

double LeadingNumberOfText(std::u16string_view text) {
  std::string ascii;
  bool seen_digit = false, seen_point = false, in_exp = false, exp_sign_ok = false;
  bool exp_digit = false;
  for (char16_t c : text) {
    if (c == u' ' || c == u'\t' || c == u'\n') continue;
    if (ascii.empty() && !seen_digit && (c == u'+' || c == u'-')) {
      ascii.push_back(static_cast<char>(c));
      continue;
    }
    if (!in_exp) {
      if (IsDigit(c)) {
        ascii.push_back(static_cast<char>(c));
        seen_digit = true;
      } else if (c == u'.' && !seen_point) {
        ascii.push_back('.');
        seen_point = true;
      } else if ((c == u'E' || c == u'e' || c == u'D' || c == u'd') && seen_digit) {
        in_exp = true;
        exp_sign_ok = true;
        ascii.push_back('E');
      } else {
        break;
      }
    } else {
      if (exp_sign_ok && (c == u'+' || c == u'-')) {
        ascii.push_back(static_cast<char>(c));
        exp_sign_ok = false;
      } else if (IsDigit(c)) {
        ascii.push_back(static_cast<char>(c));
        exp_sign_ok = false;
        exp_digit = true;
      } else {
        break;
      }
    }
  }
  if (in_exp && !exp_digit) {
    // An exponent marker without digits contributes nothing.
    while (!ascii.empty() && (ascii.back() == 'E' || ascii.back() == '+' || ascii.back() == '-'))
      ascii.pop_back();
  }
  if (!seen_digit) return 0;
  const double v = std::strtod(ascii.c_str(), nullptr);
  if (!std::isfinite(v)) ThrowOverflow();
  return v;
}

}  // namespace kelvora::host
