#include "excel/variant_convert.h"

#include <new>

#include "host/error.h"

namespace kelvora::host::excel {

double OleDateToSerial(double ole) { return ole < 61 ? ole - 1 : ole; }
double SerialToOleDate(double serial) { return serial < 60 ? serial + 1 : serial; }

Value ToValue(const VARIANT& in) {
  const VARIANT* v = &in;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF)) {
    if (V_VARIANTREF(v) == nullptr) ThrowTypeMismatch();
    v = V_VARIANTREF(v);
  }
  switch (V_VT(v)) {
    case VT_EMPTY:
    case VT_NULL:
      return Value();
    case VT_R8:
      return Value(V_R8(v));
    case VT_BSTR:
      return Value(FromBstr(V_BSTR(v)));
    case VT_BOOL:
      return Value::Boolean(V_BOOL(v) != VARIANT_FALSE);
    case VT_DATE:
      return Value::Date(OleDateToSerial(V_DATE(v)));
    case VT_ERROR:
      return Value::Error(static_cast<int32_t>(HRESULT_CODE(V_ERROR(v))));
    case VT_BSTR | VT_BYREF:
      return Value(V_BSTRREF(v) ? FromBstr(*V_BSTRREF(v)) : std::u16string());
    default:
      break;
  }
  // Every other scalar number (I1..UI8, INT, R4, CY, DECIMAL, by value or by
  // reference) goes through the system's own conversion to double.
  VARIANT r;
  VariantInit(&r);
  const VARTYPE base = V_VT(v) & ~VT_BYREF;
  const bool numeric = base == VT_I1 || base == VT_I2 || base == VT_I4 || base == VT_I8 ||
                       base == VT_UI1 || base == VT_UI2 || base == VT_UI4 || base == VT_UI8 ||
                       base == VT_INT || base == VT_UINT || base == VT_R4 || base == VT_R8 ||
                       base == VT_CY || base == VT_DECIMAL;
  if (base == VT_BOOL || base == VT_DATE || base == VT_ERROR) {
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(VariantCopyInd(&copy, const_cast<VARIANT*>(v)))) ThrowTypeMismatch();
    Value out = ToValue(copy);
    VariantClear(&copy);
    return out;
  }
  if (!numeric || FAILED(VariantChangeType(&r, const_cast<VARIANT*>(v), 0, VT_R8))) {
    ThrowTypeMismatch();
  }
  return Value(V_R8(&r));
}

Variant ToVariant(const Value& v) {
  switch (v.type()) {
    case ValueType::kEmpty:
      return Variant();
    case ValueType::kNumber:
      return Variant::Double(v.number());
    case ValueType::kText:
      return Variant::Text(v.text());
    case ValueType::kBoolean:
      return Variant::Bool(v.boolean());
    case ValueType::kDate: {
      Variant out;
      V_VT(out.get()) = VT_DATE;
      V_DATE(out.get()) = SerialToOleDate(v.date_serial());
      return out;
    }
    case ValueType::kError: {
      Variant out;
      V_VT(out.get()) = VT_ERROR;
      V_ERROR(out.get()) = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, v.error_code() & 0xFFFF);
      return out;
    }
  }
  return Variant();
}

namespace {

// Locks a SAFEARRAY's data for the scope.
class ArrayData {
 public:
  explicit ArrayData(SAFEARRAY* a) : a_(a) {
    if (FAILED(SafeArrayAccessData(a_, &data_))) ThrowTypeMismatch();
  }
  ~ArrayData() { SafeArrayUnaccessData(a_); }
  VARIANT* variants() const { return static_cast<VARIANT*>(data_); }

 private:
  SAFEARRAY* a_;
  void* data_ = nullptr;
};

int32_t Extent(SAFEARRAY* a, UINT dim) {
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(a, dim, &lo);
  SafeArrayGetUBound(a, dim, &hi);
  const int64_t n = static_cast<int64_t>(hi) - lo + 1;
  if (n < 0 || n > INT32_MAX) ThrowTypeMismatch();
  return static_cast<int32_t>(n);
}

}  // namespace

Table ToTable(const VARIANT& in) {
  const VARIANT* v = &in;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v) != nullptr) v = V_VARIANTREF(v);
  if ((V_VT(v) & VT_ARRAY) == 0) {
    Table t(1, 1);
    t(1, 1) = ToValue(*v);
    return t;
  }
  SAFEARRAY* a = (V_VT(v) & VT_BYREF) ? (V_ARRAYREF(v) ? *V_ARRAYREF(v) : nullptr) : V_ARRAY(v);
  if (a == nullptr || (V_VT(v) & VT_TYPEMASK) != VT_VARIANT) ThrowTypeMismatch();
  const UINT dims = SafeArrayGetDim(a);
  if (dims != 1 && dims != 2) ThrowTypeMismatch();
  // The first dimension varies fastest in memory (column-major), as in the
  // host's own arrays: element (r, c) sits at (r - lo1) + (c - lo2) * rows.
  const int32_t rows = dims == 2 ? Extent(a, 1) : 1;
  const int32_t cols = dims == 2 ? Extent(a, 2) : Extent(a, 1);
  Table t(rows, cols);
  if (rows == 0 || cols == 0) return t;
  ArrayData data(a);
  const VARIANT* cells = data.variants();
  for (int32_t c = 1; c <= cols; ++c) {
    for (int32_t r = 1; r <= rows; ++r) {
      t(r, c) = ToValue(cells[static_cast<size_t>(r - 1) +
                              static_cast<size_t>(c - 1) * static_cast<size_t>(rows)]);
    }
  }
  return t;
}

Variant ToVariantArray(const Table& t) {
  SAFEARRAYBOUND bounds[2];
  bounds[0].lLbound = 1;
  bounds[0].cElements = static_cast<ULONG>(t.rows());
  bounds[1].lLbound = 1;
  bounds[1].cElements = static_cast<ULONG>(t.cols());
  SAFEARRAY* a = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (a == nullptr) throw std::bad_alloc();
  Variant out;
  V_VT(out.get()) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(out.get()) = a;  // owned by `out` from here on
  if (t.rows() == 0 || t.cols() == 0) return out;
  ArrayData data(a);
  VARIANT* cells = data.variants();
  const size_t rows = static_cast<size_t>(t.rows());
  for (int32_t c = 1; c <= t.cols(); ++c) {
    for (int32_t r = 1; r <= t.rows(); ++r) {
      Variant cell = ToVariant(t(r, c));
      // Move the cell's content into the array slot without copying a BSTR.
      cells[static_cast<size_t>(r - 1) + static_cast<size_t>(c - 1) * rows] = *cell.get();
      VariantInit(cell.get());
    }
  }
  return out;
}

}  // namespace kelvora::host::excel
