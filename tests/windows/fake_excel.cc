#include "fake_excel.h"

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <functional>
#include <map>

#include "host/error.h"
#include "text/utf.h"

namespace kelvora::testing {

namespace {

std::atomic<long> g_alive{0};

// {8C1F3D2E-5A4B-4C6D-9E8F-0A1B2C3D4E5F}: lets the fake find its own ranges
// behind an IDispatch (Sort's Key1).
const GUID kFakeRangeIid = {
    0x8c1f3d2e, 0x5a4b, 0x4c6d, {0x9e, 0x8f, 0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f}};

std::wstring Lower(std::wstring s) {
  for (auto& ch : s) ch = static_cast<wchar_t>(std::towlower(ch));
  return s;
}

std::string Narrow(const std::wstring& w) {
  return Utf16ToUtf8(std::u16string(w.begin(), w.end()));
}

struct Refusal {
  int32_t code = 0;
  std::wstring description;
};

// A member: its name, its parameter names in positional order and whether it
// is a property that accepts a put.
struct Member {
  std::wstring name;
  std::vector<std::wstring> params;
};

// The arguments of one call, arranged by parameter position.
struct CallArgs {
  std::vector<const VARIANT*> byPosition;  // null where not given
  const VARIANT* put = nullptr;
  bool is_put = false;

  const VARIANT* at(size_t i) const { return i < byPosition.size() ? byPosition[i] : nullptr; }
};

const VARIANT* Deref(const VARIANT* v) {
  while (v != nullptr && V_VT(v) == (VT_VARIANT | VT_BYREF)) v = V_VARIANTREF(v);
  return v;
}

[[noreturn]] void Refuse(int32_t code, const std::wstring& description) {
  throw Refusal{code, description};
}

double NumberArg(const VARIANT* v) {
  v = Deref(v);
  if (v == nullptr) Refuse(449, L"Argument not optional");
  VARIANT r;
  VariantInit(&r);
  if (FAILED(VariantChangeType(&r, const_cast<VARIANT*>(v), 0, VT_R8)))
    Refuse(13, L"Type mismatch");
  return V_R8(&r);
}

bool BoolArg(const VARIANT* v) {
  v = Deref(v);
  if (v == nullptr) Refuse(449, L"Argument not optional");
  if (V_VT(v) != VT_BOOL) Refuse(13, L"Type mismatch: expected a truth value");
  return V_BOOL(v) != VARIANT_FALSE;
}

std::u16string TextArg(const VARIANT* v) {
  v = Deref(v);
  if (v == nullptr) Refuse(449, L"Argument not optional");
  if (V_VT(v) != VT_BSTR) Refuse(13, L"Type mismatch: expected a text");
  return std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(v)), SysStringLen(V_BSTR(v)));
}

void SetDispatch(VARIANT* result, IDispatch* d) {
  if (result == nullptr) {
    d->Release();
    return;
  }
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = d;
}

void SetNumber(VARIANT* result, double d) {
  if (result == nullptr) return;
  V_VT(result) = VT_R8;
  V_R8(result) = d;
}

void SetText(VARIANT* result, const std::u16string& s) {
  if (result == nullptr) return;
  V_VT(result) = VT_BSTR;
  V_BSTR(result) =
      SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
}

// The common IDispatch machinery: name lookup, argument arrangement and
// refusal reporting.
class FakeObject : public IDispatch {
 public:
  FakeObject(std::shared_ptr<FakeExcelState> state, std::wstring type, std::vector<Member> members)
      : state_(std::move(state)), type_(std::move(type)), members_(std::move(members)) {
    ++g_alive;
  }
  virtual ~FakeObject() { --g_alive; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    if (riid == kFakeRangeIid && type_ == L"Range") {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    const Member* member = nullptr;
    for (size_t i = 0; i < members_.size(); ++i) {
      if (Lower(members_[i].name) == Lower(names[0])) {
        member = &members_[i];
        ids[0] = static_cast<DISPID>(i + 1);
      }
    }
    if (member == nullptr) {
      for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    for (UINT i = 1; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (size_t p = 0; p < member->params.size(); ++p) {
        if (Lower(member->params[p]) == Lower(names[i])) ids[i] = static_cast<DISPID>(p);
      }
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT*) override {
    if (id < 1 || static_cast<size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
    const Member& member = members_[static_cast<size_t>(id - 1)];
    CallArgs args;
    std::string entry = Narrow(type_ + L"." + member.name);
    const UINT named = params->cNamedArgs;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      // Excel takes a put only with the value as the DISPID_PROPERTYPUT argument.
      if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || params->cArgs < 1) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      args.is_put = true;
      args.put = &params->rgvarg[0];
      entry += "=put";
    } else {
      args.byPosition.assign(std::max<size_t>(member.params.size(), params->cArgs), nullptr);
      const UINT positional = params->cArgs - named;
      for (UINT i = 0; i < positional; ++i) {
        args.byPosition[i] = &params->rgvarg[params->cArgs - 1 - i];
      }
      std::string names;
      for (UINT i = 0; i < named; ++i) {
        const DISPID p = params->rgdispidNamedArgs[i];
        if (p < 0 || static_cast<size_t>(p) >= member.params.size()) return DISP_E_PARAMNOTFOUND;
        args.byPosition[static_cast<size_t>(p)] = &params->rgvarg[i];
        if (!names.empty()) names += ",";
        names += Narrow(member.params[static_cast<size_t>(p)]);
      }
      if (!names.empty()) entry += "(" + names + ")";
    }
    state_->log.push_back(entry);
    if (result != nullptr) VariantInit(result);
    Refusal refusal;
    try {
      Handle(member.name, args, result);
      return S_OK;
    } catch (const Refusal& r) {
      refusal = r;
    } catch (const CommandError& e) {  // the in-memory workbook's own refusals
      const std::u16string d = Utf8ToUtf16(e.description());
      refusal = {e.number(), std::wstring(d.begin(), d.end())};
    }
    if (excep != nullptr) {
      *excep = EXCEPINFO{};
      excep->bstrSource = SysAllocString(L"Microsoft Excel");
      excep->bstrDescription = SysAllocString(refusal.description.c_str());
      excep->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, refusal.code);
    }
    return DISP_E_EXCEPTION;
  }

 protected:
  virtual void Handle(const std::wstring& member, const CallArgs& args, VARIANT* result) = 0;

  std::shared_ptr<FakeExcelState> state_;

 private:
  std::wstring type_;
  std::vector<Member> members_;
  std::atomic<ULONG> refs_{1};
};

class FakeRange : public FakeObject {
 public:
  FakeRange(std::shared_ptr<FakeExcelState> state, std::unique_ptr<host::Range> range)
      : FakeObject(std::move(state), L"Range",
                   {{L"Value", {L"RangeValueDataType"}},
                    {L"Resize", {L"RowSize", L"ColumnSize"}},
                    {L"ClearContents", {}},
                    {L"End", {L"Direction"}},
                    {L"Row", {}},
                    {L"Rows", {}},
                    {L"Columns", {}},
                    {L"Count", {}},
                    {L"Sort",
                     {L"Key1", L"Order1", L"Key2", L"Type", L"Order2", L"Key3", L"Order3",
                      L"Header", L"OrderCustom", L"MatchCase", L"Orientation", L"SortMethod",
                      L"DataOption1", L"DataOption2", L"DataOption3"}},
                    {L"Select", {}}}),
        range_(std::move(range)) {}

  host::Range& range() { return *range_; }

 protected:
  void Handle(const std::wstring& m, const CallArgs& a, VARIANT* result) override {
    if (m == L"Value") {
      if (a.is_put) {
        PutValue(*Deref(a.put));
      } else {
        GetValue(result);
      }
    } else if (m == L"Resize") {
      const auto rows = static_cast<int32_t>(NumberArg(a.at(0)));
      const auto cols = static_cast<int32_t>(NumberArg(a.at(1)));
      if (rows < 1 || cols < 1) Refuse(1004, L"Application-defined or object-defined error");
      SetDispatch(result, new FakeRange(state_, range_->Resize(rows, cols)));
    } else if (m == L"ClearContents") {
      range_->ClearContents();
    } else if (m == L"End") {
      const int dir = static_cast<int>(NumberArg(a.at(0)));
      if (dir != host::kXlUp) Refuse(1004, L"Only xlUp is modelled");
      SetDispatch(result, new FakeRange(state_, range_->End(dir)));
    } else if (m == L"Row") {
      SetNumber(result, range_->Row());
    } else if (m == L"Rows" || m == L"Columns") {
      // A one-member stand-in for the Rows / Columns collections.
      const host::Table t = range_->GetValues();
      SetDispatch(result, new FakeRange(state_, range_->Resize(m == L"Rows" ? t.rows() : 1,
                                                               m == L"Rows" ? 1 : t.cols())));
    } else if (m == L"Count") {
      const host::Table t = range_->GetValues();
      SetNumber(result, static_cast<double>(t.rows()) * t.cols());
    } else if (m == L"Sort") {
      const VARIANT* key = Deref(a.at(0));
      if (key == nullptr || V_VT(key) != VT_DISPATCH || V_DISPATCH(key) == nullptr) {
        Refuse(1004, L"The sort reference is not valid.");
      }
      FakeRange* key_range = nullptr;
      if (FAILED(V_DISPATCH(key)->QueryInterface(kFakeRangeIid,
                                                 reinterpret_cast<void**>(&key_range)))) {
        Refuse(1004, L"The sort reference is not valid.");
      }
      const int order = a.at(1) != nullptr ? static_cast<int>(NumberArg(a.at(1))) : 1;
      try {
        range_->Sort(key_range->range(), order);
      } catch (...) {
        key_range->Release();
        throw;
      }
      key_range->Release();
    } else if (m == L"Select") {
      range_->Select();
    }
  }

 private:
  void GetValue(VARIANT* result) {
    if (state_->refuse_value_reads) Refuse(1004, L"Unable to get the Value property");
    const host::Table t = range_->GetValues();
    if (result == nullptr) return;
    if (t.rows() == 1 && t.cols() == 1) {
      FakeFromValue(t(1, 1), result);
      return;
    }
    SAFEARRAYBOUND b[2] = {{static_cast<ULONG>(t.rows()), 1}, {static_cast<ULONG>(t.cols()), 1}};
    SAFEARRAY* arr = SafeArrayCreate(VT_VARIANT, 2, b);
    for (int32_t r = 1; r <= t.rows(); ++r) {
      for (int32_t c = 1; c <= t.cols(); ++c) {
        VARIANT v;
        VariantInit(&v);
        FakeFromValue(t(r, c), &v);
        LONG idx[2] = {r, c};
        SafeArrayPutElement(arr, idx, &v);
        VariantClear(&v);
      }
    }
    V_VT(result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(result) = arr;
  }

  void PutValue(const VARIANT& v) {
    if ((V_VT(&v) & VT_ARRAY) == 0) {
      range_->SetValue(FakeToValue(v));
      return;
    }
    SAFEARRAY* arr = V_ARRAY(&v);
    if (SafeArrayGetDim(arr) != 2) Refuse(13, L"Type mismatch: expected a two-dimensional array");
    LONG lo1, hi1, lo2, hi2;
    SafeArrayGetLBound(arr, 1, &lo1);
    SafeArrayGetUBound(arr, 1, &hi1);
    SafeArrayGetLBound(arr, 2, &lo2);
    SafeArrayGetUBound(arr, 2, &hi2);
    host::Table t(hi1 - lo1 + 1, hi2 - lo2 + 1);
    for (LONG r = lo1; r <= hi1; ++r) {
      for (LONG c = lo2; c <= hi2; ++c) {
        VARIANT e;
        VariantInit(&e);
        LONG idx[2] = {r, c};
        SafeArrayGetElement(arr, idx, &e);
        t(r - lo1 + 1, c - lo2 + 1) = FakeToValue(e);
        VariantClear(&e);
      }
    }
    range_->SetValues(t);
  }

  std::unique_ptr<host::Range> range_;
};

class FakeWorksheet : public FakeObject {
 public:
  FakeWorksheet(std::shared_ptr<FakeExcelState> state,
                std::shared_ptr<host::memory::MemoryWorksheet> sheet)
      : FakeObject(std::move(state), L"Worksheet",
                   {{L"CodeName", {}},
                    {L"Name", {}},
                    {L"Range", {L"Cell1", L"Cell2"}},
                    {L"Activate", {}},
                    {L"PasteSpecial",
                     {L"Format", L"Link", L"DisplayAsIcon", L"IconFileName", L"IconIndex",
                      L"IconLabel", L"NoHTMLFormatting"}}}),
        sheet_(std::move(sheet)) {}

 protected:
  void Handle(const std::wstring& m, const CallArgs& a, VARIANT* result) override {
    if (m == L"CodeName") {
      SetText(result, sheet_->CodeName());
    } else if (m == L"Name") {
      SetText(result, sheet_->Name());
    } else if (m == L"Range") {
      SetDispatch(result, new FakeRange(state_, sheet_->GetRange(TextArg(a.at(0)))));
    } else if (m == L"Activate") {
      sheet_->Activate();
    } else if (m == L"PasteSpecial") {
      Paste(a);
    }
  }

 private:
  void Paste(const CallArgs& a) {
    const std::u16string format = TextArg(a.at(0));
    if (a.at(1)) BoolArg(a.at(1));
    if (a.at(2)) BoolArg(a.at(2));
    if (a.at(6)) BoolArg(a.at(6));
    const std::optional<host::Table>& grid = state_->paste_grid;
    if (format != u"HTML" || !grid || grid->rows() == 0 || grid->cols() == 0) {
      Refuse(1004, L"PasteSpecial method of Worksheet class failed");
    }
    const auto [top, left] = sheet_->selection();
    for (int32_t c = 1; c <= grid->cols(); ++c) {
      for (int32_t r = 1; r <= grid->rows(); ++r) {
        host::memory::Cell& cell = sheet_->MutableCell(top + r - 1, left + c - 1);
        cell.value = (*grid)(r, c);
        cell.formula.clear();
        cell.written = true;
      }
    }
  }

  std::shared_ptr<host::memory::MemoryWorksheet> sheet_;
};

class FakeSheets : public FakeObject {
 public:
  explicit FakeSheets(std::shared_ptr<FakeExcelState> state)
      : FakeObject(std::move(state), L"Sheets", {{L"Count", {}}, {L"Item", {L"Index"}}}) {}

 protected:
  void Handle(const std::wstring& m, const CallArgs& a, VARIANT* result) override {
    const auto& sheets = state_->book->sheets();
    if (m == L"Count") {
      SetNumber(result, static_cast<double>(sheets.size()));
    } else {
      const auto i = static_cast<int64_t>(NumberArg(a.at(0)));
      if (i < 1 || i > static_cast<int64_t>(sheets.size())) Refuse(9, L"Subscript out of range");
      SetDispatch(result, new FakeWorksheet(state_, sheets[static_cast<size_t>(i - 1)]));
    }
  }
};

class FakeWorkbook : public FakeObject {
 public:
  explicit FakeWorkbook(std::shared_ptr<FakeExcelState> state)
      : FakeObject(std::move(state), L"Workbook", {{L"Worksheets", {}}}) {}

 protected:
  void Handle(const std::wstring&, const CallArgs&, VARIANT* result) override {
    SetDispatch(result, new FakeSheets(state_));
  }
};

class FakeFunctions : public FakeObject {
 public:
  explicit FakeFunctions(std::shared_ptr<FakeExcelState> state)
      : FakeObject(std::move(state), L"WorksheetFunction",
                   {{L"Min", {L"Arg1", L"Arg2"}}, {L"Trim", {L"Arg1"}}}) {}

 protected:
  void Handle(const std::wstring& m, const CallArgs& a, VARIANT* result) override {
    if (m == L"Min") {
      SetNumber(result, std::min(NumberArg(a.at(0)), NumberArg(a.at(1))));
    } else {
      SetText(result, host::TrimSpaces(TextArg(a.at(0))));
    }
  }
};

class FakeApplication : public FakeObject {
 public:
  explicit FakeApplication(std::shared_ptr<FakeExcelState> state)
      : FakeObject(std::move(state), L"Application",
                   {{L"WorksheetFunction", {}},
                    {L"ScreenUpdating", {}},
                    {L"DisplayAlerts", {}},
                    {L"CutCopyMode", {}},
                    {L"CellDragAndDrop", {}}}) {}

 protected:
  void Handle(const std::wstring& m, const CallArgs& a, VARIANT* result) override {
    host::memory::MemoryApplication& app = *state_->app;
    if (m == L"WorksheetFunction") {
      SetDispatch(result, new FakeFunctions(state_));
      return;
    }
    if (!a.is_put) Refuse(438, L"Only puts are modelled");
    const bool on = BoolArg(a.put);
    if (m == L"ScreenUpdating") app.SetScreenUpdating(on);
    if (m == L"DisplayAlerts") app.SetDisplayAlerts(on);
    if (m == L"CutCopyMode") app.SetCutCopyMode(on);
    if (m == L"CellDragAndDrop") app.SetCellDragAndDrop(on);
  }
};

}  // namespace

long FakeObjectsAlive() { return g_alive; }

IDispatch* NewFakeApplication(std::shared_ptr<FakeExcelState> state) {
  return new FakeApplication(std::move(state));
}

IDispatch* NewFakeWorkbook(std::shared_ptr<FakeExcelState> state) {
  return new FakeWorkbook(std::move(state));
}

host::Value FakeToValue(const VARIANT& in) {
  const VARIANT* v = Deref(&in);
  switch (V_VT(v)) {
    case VT_EMPTY:
      return host::Value();
    case VT_R8:
      return host::Value(V_R8(v));
    case VT_I4:
      return host::Value(static_cast<double>(V_I4(v)));
    case VT_I2:
      return host::Value(static_cast<double>(V_I2(v)));
    case VT_BSTR:
      return host::Value(
          std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(v)), SysStringLen(V_BSTR(v))));
    case VT_BOOL:
      return host::Value::Boolean(V_BOOL(v) != VARIANT_FALSE);
    case VT_DATE:
      // OLE day 2 is 1900-01-01, the host's serial 1; they meet at 61.
      return host::Value::Date(V_DATE(v) < 61 ? V_DATE(v) - 1 : V_DATE(v));
    case VT_ERROR:
      return host::Value::Error(V_ERROR(v) & 0xFFFF);
    default:
      Refuse(13, L"Type mismatch: value of an unexpected type");
  }
}

void FakeFromValue(const host::Value& v, VARIANT* out) {
  VariantInit(out);
  switch (v.type()) {
    case host::ValueType::kEmpty:
      break;
    case host::ValueType::kNumber:
      V_VT(out) = VT_R8;
      V_R8(out) = v.number();
      break;
    case host::ValueType::kText:
      SetText(out, v.text());
      break;
    case host::ValueType::kBoolean:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = v.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case host::ValueType::kDate:
      V_VT(out) = VT_DATE;
      V_DATE(out) = v.date_serial() < 60 ? v.date_serial() + 1 : v.date_serial();
      break;
    case host::ValueType::kError:
      V_VT(out) = VT_ERROR;
      V_ERROR(out) = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, v.error_code());
      break;
  }
}

}  // namespace kelvora::testing
