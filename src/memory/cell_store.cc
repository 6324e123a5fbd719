#include "memory/cell_store.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace kelvora::host::memory {
namespace {

// Record kinds: the first six are ValueType's; a whole cell is kept aside.
constexpr uint32_t kKindMask = 7;
constexpr uint32_t kWhole = 7;
constexpr uint32_t kWrittenBit = 8;
constexpr int kLengthShift = 8;
constexpr size_t kMaxLength = (size_t{1} << 24) - 1;
// Texts this short are kept in the record itself.
constexpr size_t kInlineLength = sizeof(uint64_t) / sizeof(char16_t);

uint32_t KindOf(uint32_t meta) { return meta & kKindMask; }

uint64_t DoubleBits(double d) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

double BitsDouble(uint64_t b) {
  double d;
  std::memcpy(&d, &b, sizeof d);
  return d;
}

}  // namespace

int32_t CellStore::ColumnLength(int32_t col) const {
  if (col < 1 || col > cols()) return 0;
  return static_cast<int32_t>(columns_[static_cast<size_t>(col - 1)].size());
}

uint32_t CellStore::ColumnStyle(int32_t col) const {
  return col <= static_cast<int32_t>(column_blanks_.size())
             ? column_blanks_[static_cast<size_t>(col - 1)].style
             : 0;
}

void CellStore::SetColumnStyle(int32_t col, uint32_t style) {
  assert(col >= 1);
  if (col > static_cast<int32_t>(column_blanks_.size()))
    column_blanks_.resize(static_cast<size_t>(col));
  column_blanks_[static_cast<size_t>(col - 1)].style = style;
}

void CellStore::Reserve(int32_t col, int32_t rows) {
  assert(col >= 1 && rows >= 0);
  if (col > cols()) columns_.resize(static_cast<size_t>(col));
  columns_[static_cast<size_t>(col - 1)].reserve(static_cast<size_t>(rows));
}

CellStore::Record* CellStore::Find(int32_t row, int32_t col) const {
  assert(row >= 1 && col >= 1);
  if (col > cols()) return nullptr;
  auto& column = columns_[static_cast<size_t>(col - 1)];
  if (row > static_cast<int32_t>(column.size())) return nullptr;
  return &column[static_cast<size_t>(row - 1)];
}

CellStore::Record& CellStore::Slot(int32_t row, int32_t col) {
  assert(row >= 1 && col >= 1);
  if (col > cols()) columns_.resize(static_cast<size_t>(col));
  auto& column = columns_[static_cast<size_t>(col - 1)];
  if (row > static_cast<int32_t>(column.size())) {
    // Grow geometrically so that row-by-row appends stay linear.
    if (static_cast<size_t>(row) > column.capacity())
      column.reserve(std::max(static_cast<size_t>(row), column.capacity() * 2));
    column.resize(static_cast<size_t>(row), Record{0, ColumnStyle(col), 0});
  }
  return column[static_cast<size_t>(row - 1)];
}

Value CellStore::ValueOf(const Record& r) const {
  switch (static_cast<ValueType>(KindOf(r.meta))) {
    case ValueType::kEmpty:
      return Value();
    case ValueType::kNumber:
      return Value(BitsDouble(r.bits));
    case ValueType::kText: {
      const size_t length = r.meta >> kLengthShift;
      if (length > kInlineLength) return Value(std::u16string(texts_.At(r.bits, length)));
      char16_t units[kInlineLength];
      std::memcpy(units, &r.bits, sizeof units);
      return Value(std::u16string(units, length));
    }
    case ValueType::kBoolean:
      return Value::Boolean(r.bits != 0);
    case ValueType::kDate:
      return Value::Date(BitsDouble(r.bits));
    case ValueType::kError:
      return Value::Error(static_cast<int32_t>(r.bits));
  }
  return Value();
}

Cell CellStore::Unpack(const Record& r) const {
  if (KindOf(r.meta) == kWhole) return whole_[r.bits];
  return Cell{ValueOf(r), std::u16string(), r.style, (r.meta & kWrittenBit) != 0};
}

Cell CellStore::Get(int32_t row, int32_t col) const {
  if (const Record* r = Find(row, col)) return Unpack(*r);
  Cell blank;
  blank.style = ColumnStyle(col);
  return blank;
}

Value CellStore::ValueAt(int32_t row, int32_t col) const {
  const Record* r = Find(row, col);
  if (r == nullptr) return Value();
  return KindOf(r->meta) == kWhole ? whole_[r->bits].value : ValueOf(*r);
}

void CellStore::Set(int32_t row, int32_t col, const Cell& cell) {
  Record& r = Slot(row, col);
  if (KindOf(r.meta) == kWhole) {
    whole_[r.bits] = cell;
    return;
  }
  const Value& v = cell.value;
  const bool long_text = v.IsText() && v.text().size() > kMaxLength;
  if (!cell.formula.empty() || long_text) {
    r = Record{whole_.size(), 0, kWhole};
    whole_.push_back(cell);
    return;
  }
  r.style = cell.style;
  Encode(r, v, cell.written);
}

void CellStore::WriteValue(int32_t row, int32_t col, const Value& value) {
  Record& r = Slot(row, col);
  if (KindOf(r.meta) == kWhole) {
    Cell& cell = whole_[r.bits];
    cell.value = value;
    cell.formula.clear();
    cell.written = true;
    return;
  }
  if (value.IsText() && value.text().size() > kMaxLength) {
    Set(row, col, Cell{value, std::u16string(), r.style, true});
    return;
  }
  Encode(r, value, true);
}

void CellStore::Encode(Record& r, const Value& v, bool written) {
  r.meta = static_cast<uint32_t>(v.type()) | (written ? kWrittenBit : 0);
  switch (v.type()) {
    case ValueType::kEmpty:
      r.bits = 0;
      break;
    case ValueType::kNumber:
      r.bits = DoubleBits(v.number());
      break;
    case ValueType::kText: {
      const std::u16string& t = v.text();
      r.meta |= static_cast<uint32_t>(t.size()) << kLengthShift;
      if (t.size() <= kInlineLength) {
        char16_t units[kInlineLength] = {};
        std::memcpy(units, t.data(), t.size() * sizeof(char16_t));
        std::memcpy(&r.bits, units, sizeof units);
      } else {
        r.bits = texts_.Add(t);
      }
      break;
    }
    case ValueType::kBoolean:
      r.bits = v.boolean() ? 1 : 0;
      break;
    case ValueType::kDate:
      r.bits = DoubleBits(v.date_serial());
      break;
    case ValueType::kError:
      r.bits = static_cast<uint64_t>(static_cast<uint32_t>(v.error_code()));
      break;
  }
}

Cell& CellStore::KeepWhole(Record& r) const {
  if (KindOf(r.meta) != kWhole) {
    whole_.push_back(Unpack(r));
    r = Record{whole_.size() - 1, 0, kWhole};
  }
  return whole_[r.bits];
}

const Cell& CellStore::View(int32_t row, int32_t col) const {
  static const Cell kEmptyCell;
  if (Record* r = Find(row, col)) return KeepWhole(*r);
  return col <= static_cast<int32_t>(column_blanks_.size())
             ? column_blanks_[static_cast<size_t>(col - 1)]
             : kEmptyCell;
}

Cell& CellStore::Whole(int32_t row, int32_t col) { return KeepWhole(Slot(row, col)); }

uint32_t CellStore::Style(int32_t row, int32_t col) const {
  const Record* r = Find(row, col);
  if (r == nullptr) return ColumnStyle(col);
  return KindOf(r->meta) == kWhole ? whole_[r->bits].style : r->style;
}

bool CellStore::Written(int32_t row, int32_t col) const {
  const Record* r = Find(row, col);
  if (r == nullptr) return false;
  return KindOf(r->meta) == kWhole ? whole_[r->bits].written : (r->meta & kWrittenBit) != 0;
}

bool CellStore::Filled(int32_t row, int32_t col) const {
  const Record* r = Find(row, col);
  if (r == nullptr) return false;
  if (KindOf(r->meta) != kWhole) return KindOf(r->meta) != 0;
  const Cell& c = whole_[r->bits];
  return !c.value.IsEmpty() || !c.formula.empty();
}

bool CellStore::Used(int32_t row, int32_t col) const {
  return Filled(row, col) || Style(row, col) != 0;
}

void CellStore::SetStyle(int32_t row, int32_t col, uint32_t style) {
  Record& r = Slot(row, col);
  if (KindOf(r.meta) == kWhole) {
    whole_[r.bits].style = style;
  } else {
    r.style = style;
  }
}

}  // namespace kelvora::host::memory
