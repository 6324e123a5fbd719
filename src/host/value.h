// Cell values and 1-based tables of them, as the spreadsheet host hands them
// over for a range read and accepts them for a range write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace kelvora::host {

enum class ValueType { kEmpty, kNumber, kText, kBoolean, kDate, kError };

// A date is kept as the host's serial day number (1900 system: 1 = 1900-01-01).
struct DateSerial {
  double serial = 0;
  friend bool operator==(const DateSerial&, const DateSerial&) = default;
};

// An error value such as #N/A. `code` is the host's error number
// (2042 for #N/A, 2007 for #DIV/0!, ...).
struct ErrorValue {
  int32_t code = 2042;
  friend bool operator==(const ErrorValue&, const ErrorValue&) = default;
};

// One dynamic cell value. Empty means "no value": an empty cell.
class Value {
 public:
  Value() = default;
  Value(double number) : v_(number) {}                       // NOLINT(runtime/explicit)
  Value(int number) : v_(static_cast<double>(number)) {}     // NOLINT(runtime/explicit)
  Value(std::u16string text) : v_(std::move(text)) {}        // NOLINT(runtime/explicit)
  Value(const char16_t* text) : v_(std::u16string(text)) {}  // NOLINT(runtime/explicit)
  static Value Boolean(bool b) { return Value(Tag{}, b); }
  static Value Date(double serial) { return Value(Tag{}, DateSerial{serial}); }
  static Value Error(int32_t code) { return Value(Tag{}, ErrorValue{code}); }

  ValueType type() const { return static_cast<ValueType>(v_.index()); }
  bool IsEmpty() const { return type() == ValueType::kEmpty; }
  bool IsNumber() const { return type() == ValueType::kNumber; }
  bool IsText() const { return type() == ValueType::kText; }
  bool IsBoolean() const { return type() == ValueType::kBoolean; }
  bool IsDate() const { return type() == ValueType::kDate; }
  bool IsError() const { return type() == ValueType::kError; }

  // Accessors; calling the wrong one is a programming error (std::bad_variant_access).
  double number() const { return std::get<double>(v_); }
  const std::u16string& text() const { return std::get<std::u16string>(v_); }
  bool boolean() const { return std::get<bool>(v_); }
  double date_serial() const { return std::get<DateSerial>(v_).serial; }
  int32_t error_code() const { return std::get<ErrorValue>(v_).code; }

  // Exact equality of type and content (texts case-sensitive).
  friend bool operator==(const Value&, const Value&) = default;

 private:
  struct Tag {};
  Value(Tag, bool b) : v_(b) {}
  Value(Tag, DateSerial d) : v_(d) {}
  Value(Tag, ErrorValue e) : v_(e) {}

  // The order of alternatives matches ValueType.
  std::variant<std::monostate, double, std::u16string, bool, DateSerial, ErrorValue> v_;
};

// A rectangular table of values, rows and columns counted from 1.
class Table {
 public:
  Table() = default;
  Table(int32_t rows, int32_t cols)
      : rows_(rows), cols_(cols), cells_(static_cast<size_t>(rows) * static_cast<size_t>(cols)) {}

  int32_t rows() const { return rows_; }
  int32_t cols() const { return cols_; }
  bool empty() const { return cells_.empty(); }

  // 1-based access; out-of-range indexes are a subscript error (error 9).
  Value& at(int32_t row, int32_t col);
  const Value& at(int32_t row, int32_t col) const;

  // Unchecked 1-based access for hot loops whose bounds are already known.
  Value& operator()(int32_t row, int32_t col) {
    return cells_[static_cast<size_t>(row - 1) * static_cast<size_t>(cols_) +
                  static_cast<size_t>(col - 1)];
  }
  const Value& operator()(int32_t row, int32_t col) const {
    return cells_[static_cast<size_t>(row - 1) * static_cast<size_t>(cols_) +
                  static_cast<size_t>(col - 1)];
  }

  friend bool operator==(const Table&, const Table&) = default;

 private:
  int32_t rows_ = 0;
  int32_t cols_ = 0;
  std::vector<Value> cells_;
};

}  // namespace kelvora::host
