#include "host/value.h"

#include "host/error.h"

namespace kelvora::host {

Value& Table::at(int32_t row, int32_t col) {
  if (row < 1 || row > rows_ || col < 1 || col > cols_) ThrowSubscriptOutOfRange();
  return (*this)(row, col);
}

const Value& Table::at(int32_t row, int32_t col) const {
  if (row < 1 || row > rows_ || col < 1 || col > cols_) ThrowSubscriptOutOfRange();
  return (*this)(row, col);
}

}  // namespace kelvora::host
