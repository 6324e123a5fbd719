#include "fake_excel.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <functional>

#include "host/error.h"
#include "text/utf.h"

namespace kelvora::testing {
namespace {

using host::Value;
using host::memory::Area;
using host::memory::MemoryWorksheet;
using State = std::shared_ptr<FakeExcelState>;

std::atomic<long> g_alive{0};

// Lets the fake find its own ranges behind an IDispatch (Sort's Key1).
const GUID kFakeRangeIid = {
    0x8c1f3d2e, 0x5a4b, 0x4c6d, {0x9e, 0x8f, 0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f}};

bool SameName(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

// A refusal, reported as Excel reports it (as are the in-memory workbook's).
[[noreturn]] void Refuse(int32_t code, const char* description) {
  throw CommandError(code, description);
}

// The arguments of one call, arranged by parameter position (null where not
// given), or the value of a property put.
struct CallArgs {
  std::vector<const VARIANT*> at;
  const VARIANT* put = nullptr;
};
using Args = const CallArgs&;

const VARIANT* Deref(const VARIANT* v) {
  while (v != nullptr && V_VT(v) == (VT_VARIANT | VT_BYREF)) v = V_VARIANTREF(v);
  return v;
}

// An argument of the type `vt` (numbers are converted as Excel does).
VARIANT Arg(const VARIANT* v, VARTYPE vt) {
  v = Deref(v);
  if (v == nullptr) Refuse(449, "Argument not optional");
  VARIANT r{};
  if ((vt == VT_R8 && FAILED(VariantChangeType(&r, const_cast<VARIANT*>(v), 0, VT_R8))) ||
      (vt != VT_R8 && V_VT(v) != vt)) {
    Refuse(13, "Type mismatch");
  }
  return vt == VT_R8 ? r : *v;
}
double NumberArg(const VARIANT* v) { return Arg(v, VT_R8).dblVal; }
bool BoolArg(const VARIANT* v) { return Arg(v, VT_BOOL).boolVal != VARIANT_FALSE; }
std::u16string TextArg(const VARIANT* v) {
  const BSTR b = Arg(v, VT_BSTR).bstrVal;
  return std::u16string(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
}

// The fake's own conversions between VARIANTs and cell values.
BSTR ToBstr(const std::u16string& s) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
}
Value ToValue(const VARIANT& in) {
  const VARIANT* v = Deref(&in);
  switch (V_VT(v)) {
    case VT_EMPTY:
      return Value();
    case VT_BSTR:
      return Value(TextArg(v));
    case VT_BOOL:
      return Value::Boolean(BoolArg(v));
    case VT_DATE:
      // OLE day 2 is 1900-01-01, the host's serial 1; they meet at 61.
      return Value::Date(V_DATE(v) < 61 ? V_DATE(v) - 1 : V_DATE(v));
    case VT_ERROR:
      return Value::Error(V_ERROR(v) & 0xFFFF);
    case VT_R8:
    case VT_I4:
    case VT_I2:
      return Value(NumberArg(v));
  }
  Refuse(13, "Type mismatch: value of an unexpected type");
}

void SetResult(VARIANT* out, const Value& v) {
  if (out == nullptr) return;
  VariantInit(out);
  if (v.IsText()) {
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = ToBstr(v.text());
  } else if (v.IsBoolean()) {
    V_VT(out) = VT_BOOL;
    V_BOOL(out) = v.boolean() ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (v.IsError()) {
    V_VT(out) = VT_ERROR;
    V_ERROR(out) = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, v.error_code());
  } else if (v.IsDate()) {
    V_VT(out) = VT_DATE;
    V_DATE(out) = v.date_serial() + (v.date_serial() < 60 ? 1 : 0);
  } else if (v.IsNumber()) {
    V_VT(out) = VT_R8;
    V_R8(out) = v.number();
  }
}
// Counts, rows and window handles are Longs.
void SetLong(VARIANT* result, int64_t n) {
  if (result == nullptr) return;
  V_VT(result) = VT_I4;
  V_I4(result) = static_cast<LONG>(n);
}
// An object, or Nothing for null.
void SetDispatch(VARIANT* result, IDispatch* d) {
  if (result == nullptr) return static_cast<void>(d && d->Release());
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = d;
}

// A member; the first `required` of its parameters (in positional order) are required.
struct Member {
  std::wstring name;
  std::vector<std::wstring> params;
  std::function<void(Args, VARIANT*)> call;
  size_t required = 0;
  bool settable = false;
};

// A property that reads as `v`, or as Nothing.
Member Constant(const wchar_t* name, Value v) {
  return {name, {}, [v](Args, VARIANT* out) { SetResult(out, v); }};
}
Member Nothing(const wchar_t* name) {
  return {name, {}, [](Args, VARIANT* out) { SetDispatch(out, nullptr); }};
}

// One automation object of Excel's model over a table of members.
class FakeObject : public IDispatch {
 public:
  FakeObject(State state, std::vector<Member> members, std::shared_ptr<host::Range> range = nullptr)
      : members(std::move(members)), state_(std::move(state)), range_(std::move(range)) {
    ++g_alive;
  }
  virtual ~FakeObject() { --g_alive; }

  const std::vector<Member> members;
  host::Range& range() { return *range_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && !(riid == kFakeRangeIid && range_))
      return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
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

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override {
    state_->locales.insert(lcid);
    if (count == 0) return E_INVALIDARG;
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    const auto member = std::find_if(members.begin(), members.end(),
                                     [&](const Member& m) { return SameName(m.name, names[0]); });
    if (member == members.end()) return DISP_E_UNKNOWNNAME;
    ids[0] = static_cast<DISPID>(member - members.begin() + 1);
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
      for (size_t p = 0; p < member->params.size(); ++p)
        if (SameName(member->params[p], names[i])) ids[i] = static_cast<DISPID>(p);
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT*) override {
    state_->locales.insert(lcid);
    if (id < 1 || static_cast<size_t>(id) > members.size()) return DISP_E_MEMBERNOTFOUND;
    const Member& member = members[static_cast<size_t>(id - 1)];
    CallArgs args;
    const UINT named = params->cNamedArgs;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      // Excel takes a put only with the value as the DISPID_PROPERTYPUT argument.
      if (!member.settable) return DISP_E_MEMBERNOTFOUND;
      if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || params->cArgs < 1)
        return DISP_E_PARAMNOTOPTIONAL;
      if (params->cArgs > 1) return DISP_E_BADPARAMCOUNT;
      args.put = Deref(&params->rgvarg[0]);
    } else {
      if (params->cArgs > member.params.size()) return DISP_E_BADPARAMCOUNT;
      args.at.assign(member.params.size(), nullptr);
      for (UINT i = 0; i < params->cArgs - named; ++i)
        args.at[i] = &params->rgvarg[params->cArgs - 1 - i];
      for (UINT i = 0; i < named; ++i) {
        const DISPID p = params->rgdispidNamedArgs[i];
        if (p < 0 || static_cast<size_t>(p) >= member.params.size()) return DISP_E_PARAMNOTFOUND;
        args.at[static_cast<size_t>(p)] = &params->rgvarg[i];
      }
      for (size_t p = 0; p < member.required; ++p)
        if (args.at[p] == nullptr) return DISP_E_PARAMNOTOPTIONAL;
    }
    if (result != nullptr) VariantInit(result);
    try {
      member.call(args, result);
      return S_OK;
    } catch (const CommandError& e) {
      if (excep != nullptr) {
        *excep = EXCEPINFO{};
        excep->bstrSource = SysAllocString(L"Microsoft Excel");
        excep->bstrDescription = ToBstr(Utf8ToUtf16(e.description()));
        excep->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, e.number());
      }
    }
    return DISP_E_EXCEPTION;
  }

 private:
  State state_;
  std::shared_ptr<host::Range> range_;
  std::atomic<ULONG> refs_{1};
};

// A Value read: a scalar for one cell, else a 1-based two-dimensional array.
void GetValues(const host::Table& t, VARIANT* result) {
  if (t.rows() == 1 && t.cols() == 1) return SetResult(result, t(1, 1));
  if (result == nullptr) return;
  SAFEARRAYBOUND b[2] = {{static_cast<ULONG>(t.rows()), 1}, {static_cast<ULONG>(t.cols()), 1}};
  SAFEARRAY* arr = SafeArrayCreate(VT_VARIANT, 2, b);
  for (LONG r = 1; r <= t.rows(); ++r) {
    for (LONG c = 1; c <= t.cols(); ++c) {
      VARIANT v;
      SetResult(&v, t(r, c));
      LONG idx[2] = {r, c};
      SafeArrayPutElement(arr, idx, &v);
      VariantClear(&v);
    }
  }
  V_VT(result) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(result) = arr;
}

void PutValues(const VARIANT& v, host::Range& range) {
  if ((V_VT(&v) & VT_ARRAY) == 0) return range.SetValue(ToValue(v));
  SAFEARRAY* arr = V_ARRAY(&v);
  if (SafeArrayGetDim(arr) != 2) Refuse(13, "Type mismatch: expected a two-dimensional array");
  LONG lo[2], hi[2];
  for (UINT d = 0; d < 2; ++d) {
    SafeArrayGetLBound(arr, d + 1, &lo[d]);
    SafeArrayGetUBound(arr, d + 1, &hi[d]);
  }
  host::Table t(hi[0] - lo[0] + 1, hi[1] - lo[1] + 1);
  for (LONG r = lo[0]; r <= hi[0]; ++r) {
    for (LONG c = lo[1]; c <= hi[1]; ++c) {
      VARIANT e{};
      LONG idx[2] = {r, c};
      SafeArrayGetElement(arr, idx, &e);
      t(r - lo[0] + 1, c - lo[1] + 1) = ToValue(e);
      VariantClear(&e);
    }
  }
  range.SetValues(t);
}

std::u16string Address(const Area& a) {
  return host::memory::ColumnLetters(a.left) + Ascii(std::to_string(a.top)) + u":" +
         host::memory::ColumnLetters(a.right) + Ascii(std::to_string(a.bottom));
}

IDispatch* NewRange(const State& s, std::shared_ptr<MemoryWorksheet> sheet,
                    std::shared_ptr<host::Range> range, Area area) {
  host::Range& r = *range;
  const auto count = [s](int32_t n) {
    return [s, n](Args, VARIANT* out) {
      // A stand-in for the Rows / Columns collections: their Count only.
      SetDispatch(out,
                  new FakeObject(s, {{L"Count", {}, [n](Args, VARIANT* o) { SetLong(o, n); }}}));
    };
  };
  std::vector<Member> members = {
      {L"Value",
       {L"RangeValueDataType"},
       [s, &r](Args a, VARIANT* out) {
         if (a.put) return PutValues(*a.put, r);
         if (s->refuse_value_reads) Refuse(1004, "Unable to get the Value property");
         GetValues(r.GetValues(), out);
       },
       0,
       true},
      {L"Resize",
       {L"RowSize", L"ColumnSize"},
       [s, sheet, &r, area](Args a, VARIANT* out) {
         const auto rows = static_cast<int32_t>(NumberArg(a.at[0]));
         const auto cols = static_cast<int32_t>(NumberArg(a.at[1]));
         if (rows < 1 || cols < 1) Refuse(1004, "Application-defined or object-defined error");
         const Area resized{area.top, area.left, area.top + rows - 1, area.left + cols - 1};
         SetDispatch(out, NewRange(s, sheet, r.Resize(rows, cols), resized));
       }},
      {L"ClearContents", {}, [&r](Args, VARIANT*) { r.ClearContents(); }},
      {L"End",
       {L"Direction"},
       [s, sheet, &r, area](Args a, VARIANT* out) {
         // xlUp, or its old number 3.
         const double direction = NumberArg(a.at[0]);
         if (direction != -4162 && direction != 3) Refuse(1004, "Only xlUp is modelled");
         std::shared_ptr<host::Range> end = r.End(host::kXlUp);
         const int32_t row = end->Row();
         SetDispatch(out, NewRange(s, sheet, std::move(end), Area{row, area.left, row, area.left}));
       },
       1},
      {L"Row", {}, [area](Args, VARIANT* out) { SetLong(out, area.top); }},
      {L"Column", {}, [area](Args, VARIANT* out) { SetLong(out, area.left); }},
      {L"Rows", {}, count(area.rows())},
      {L"Columns", {}, count(area.cols())},
      {L"Sort",
       {L"Key1", L"Order1", L"Key2", L"Type", L"Order2", L"Key3", L"Order3", L"Header",
        L"OrderCustom", L"MatchCase", L"Orientation", L"SortMethod", L"DataOption1", L"DataOption2",
        L"DataOption3"},
       [s, sheet, range, area](Args a, VARIANT*) {
         const VARIANT* key = Deref(a.at[0]);
         IDispatch* d = key != nullptr && V_VT(key) == VT_DISPATCH ? V_DISPATCH(key) : nullptr;
         FakeObject* k = nullptr;
         if (d == nullptr ||
             FAILED(d->QueryInterface(kFakeRangeIid, reinterpret_cast<void**>(&k)))) {
           Refuse(1004, "The sort reference is not valid.");
         }
         k->Release();  // the caller's reference keeps it alive
         if (a.at[7] != nullptr) {
           const auto header = static_cast<int>(NumberArg(a.at[7]));
           if (header != 1 && header != 2) Refuse(1004, "Only xlYes and xlNo are modelled");
           s->sort_header = header;
         }
         // With a header row only the rows below it are sorted.
         std::shared_ptr<host::Range> rows = range;
         if (s->sort_header == 1) {
           if (area.rows() < 2) return;
           rows = sheet->GetRange(Address({area.top + 1, area.left, area.bottom, area.right}));
         }
         rows->Sort(k->range(), a.at[1] != nullptr ? static_cast<int>(NumberArg(a.at[1])) : 1);
       }},
      {L"Select", {}, [&r](Args, VARIANT*) { r.Select(); }}};
  return new FakeObject(s, std::move(members), range);
}

// The paste takes the grid prepared beforehand, at the sheet's selection.
void Paste(const State& s, host::memory::MemoryWorksheet& sheet, const CallArgs& a) {
  const std::u16string format = TextArg(a.at[0]);
  for (size_t i : {1, 2, 6})  // Link, DisplayAsIcon, NoHTMLFormatting
    if (a.at[i]) BoolArg(a.at[i]);
  const std::optional<host::Table>& grid = s->paste_grid;
  if (format != u"HTML" || !grid || grid->rows() == 0 || grid->cols() == 0)
    Refuse(1004, "PasteSpecial method of Worksheet class failed");
  const auto [top, left] = sheet.selection();
  for (int32_t c = 1; c <= grid->cols(); ++c) {
    for (int32_t r = 1; r <= grid->rows(); ++r) {
      host::memory::Cell& cell = sheet.MutableCell(top + r - 1, left + c - 1);
      cell.value = (*grid)(r, c);
      cell.formula.clear();
      cell.written = true;
    }
  }
}

IDispatch* NewWorksheet(const State& s, std::shared_ptr<MemoryWorksheet> sheet) {
  return new FakeObject(
      s,
      {{L"CodeName", {}, [sheet](Args, VARIANT* out) { SetResult(out, Value(sheet->CodeName())); }},
       {L"Name", {}, [sheet](Args, VARIANT* out) { SetResult(out, Value(sheet->Name())); }},
       {L"Range",
        {L"Cell1", L"Cell2"},
        [s, sheet](Args a, VARIANT* out) {
          const std::u16string address_or_name = TextArg(a.at[0]);
          std::shared_ptr<host::Range> range = sheet->GetRange(address_or_name);
          const std::optional<Area> area = host::memory::ParseA1Area(address_or_name);
          SetDispatch(out, NewRange(s, sheet, std::move(range),
                                    area ? *area : s->book->FindName(address_or_name)->area));
        },
        1},
       {L"UsedRange",
        {},
        [s, sheet](Args, VARIANT* out) {
          SetDispatch(out, NewRange(s, sheet, sheet->UsedRange(), sheet->UsedArea()));
        }},
       {L"Activate", {}, [sheet](Args, VARIANT*) { sheet->Activate(); }},
       {L"PasteSpecial",
        {L"Format", L"Link", L"DisplayAsIcon", L"IconFileName", L"IconIndex", L"IconLabel",
         L"NoHTMLFormatting"},
        [s, sheet](Args a, VARIANT*) { Paste(s, *sheet, a); }}});
}

IDispatch* NewFunctions(const State& s) {
  std::vector<std::wstring> args;  // Min takes Arg1 to Arg30
  for (int i = 1; i <= 30; ++i) args.push_back(L"Arg" + std::to_wstring(i));
  return new FakeObject(
      s, {{L"Min", args,
           [](Args a, VARIANT* out) {
             SetResult(out, Value(std::min(NumberArg(a.at[0]), NumberArg(a.at[1]))));
           },
           1},
          {L"Trim",
           {L"Arg1"},
           [](Args a, VARIANT* out) { SetResult(out, Value(host::TrimSpaces(TextArg(a.at[0])))); },
           1}});
}

IDispatch* NewWorksheets(const State& s) {
  const auto& all = s->book->sheets();
  return new FakeObject(s, {{L"Count", {}, [&all](Args, VARIANT* n) { SetLong(n, all.size()); }},
                            {L"Item",
                             {L"Index"},
                             [s, &all](Args a, VARIANT* item) {
                               const auto i = static_cast<int64_t>(NumberArg(a.at[0]));
                               if (i < 1 || i > static_cast<int64_t>(all.size()))
                                 Refuse(9, "Subscript out of range");
                               SetDispatch(item, NewWorksheet(s, all[static_cast<size_t>(i - 1)]));
                             },
                             1}});
}

IDispatch* NewWorkbooks(const State& s) {
  return new FakeObject(s, {{L"Add", {L"Template"}, [s](Args a, VARIANT* added) {
                               s->added_workbooks.push_back(a.at[0] ? TextArg(a.at[0]) : u"");
                               SetDispatch(added, NewFakeWorkbook(s));
                             }}});
}

}  // namespace

long FakeObjectsAlive() { return g_alive; }

IDispatch* NewFakeApplication(std::shared_ptr<FakeExcelState> state) {
  host::memory::MemoryApplication* app = state->app.get();
  // The settings the engine only ever puts.
  const auto setting = [app](const wchar_t* name,
                             void (host::memory::MemoryApplication::*set)(bool)) {
    const auto put = [app, set](Args a, VARIANT*) {
      if (!a.put) Refuse(438, "Only puts are modelled");
      (app->*set)(BoolArg(a.put));
    };
    return Member{name, {}, put, 0, true};
  };
  using M = host::memory::MemoryApplication;
  return new FakeObject(
      state,
      {{L"WorksheetFunction",
        {},
        [state](Args, VARIANT* out) { SetDispatch(out, NewFunctions(state)); }},
       {L"Hwnd", {}, [state](Args, VARIANT* out) { SetLong(out, state->window); }},
       {L"ActiveWorkbook",
        {},
        [state](Args, VARIANT* out) {
          SetDispatch(out, state->workbook_open ? NewFakeWorkbook(state) : nullptr);
        }},
       {L"Workbooks", {}, [state](Args, VARIANT* out) { SetDispatch(out, NewWorkbooks(state)); }},
       setting(L"ScreenUpdating", &M::SetScreenUpdating),
       setting(L"DisplayAlerts", &M::SetDisplayAlerts),
       setting(L"CutCopyMode", &M::SetCutCopyMode),
       setting(L"CellDragAndDrop", &M::SetCellDragAndDrop)});
}

IDispatch* NewFakeWorkbook(std::shared_ptr<FakeExcelState> state) {
  return new FakeObject(state, {{L"Worksheets", {}, [state](Args, VARIANT* out) {
                                   SetDispatch(out, NewWorksheets(state));
                                 }}});
}

IDispatch* NewFakeRibbonControl(std::shared_ptr<FakeExcelState> state, const std::u16string& id) {
  return new FakeObject(
      state, {Constant(L"Id", Value(id)), Constant(L"Tag", Value(u"")), Nothing(L"Context")});
}

IDispatch* NewFakeComAddIn(std::shared_ptr<FakeExcelState> state) {
  return new FakeObject(state, {Constant(L"ProgId", Value(u"Kelvora.Connect")),
                                Constant(L"Description", Value(u"Kelvora")),
                                Constant(L"Connect", Value::Boolean(true)), Nothing(L"Object")});
}

}  // namespace kelvora::testing
