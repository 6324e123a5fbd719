#include "sub_object.h"

#include <new>
#include <stdexcept>

#include "call_guard.h"
#include "excel/excel_host.h"
#include "host/error.h"
#include "module.h"
#include "text/utf.h"

namespace kelvora::com {

namespace {

// Sup's dispatch identifier in the type library.
constexpr DISPID kSupId = 1;

std::wstring Wide(const std::string& utf8) {
  const std::u16string s = Utf8ToUtf16(utf8);
  return std::wstring(s.begin(), s.end());
}

// Frees the strings of an EXCEPINFO that was empty when the call began, and
// empties it again.
void ClearExcepInfo(EXCEPINFO* excep) {
  if (excep == nullptr) return;
  SysFreeString(excep->bstrSource);
  SysFreeString(excep->bstrDescription);
  SysFreeString(excep->bstrHelpFile);
  *excep = EXCEPINFO{};
}

// Fills an empty EXCEPINFO with a command failure.
void FillExcepInfo(EXCEPINFO* excep, int32_t number, const std::wstring& description) {
  if (excep == nullptr) return;
  excep->bstrSource = SysAllocString(L"Kelvora.Sub");
  excep->bstrDescription = SysAllocString(description.c_str());
  excep->scode = CommandFailure(number);
}

// The object an argument of Sup holds: an object by value or by reference,
// also inside a Variant passed by reference. Nothing for anything else.
std::optional<IDispatch*> ObjectArgument(const VARIANT& arg) {
  const VARIANT* v = &arg;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF)) v = V_VARIANTREF(v);
  if (v == nullptr) return std::nullopt;
  if (V_VT(v) == VT_DISPATCH) return V_DISPATCH(v);
  if (V_VT(v) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(v) != nullptr) return *V_DISPATCHREF(v);
  return std::nullopt;
}

}  // namespace

HRESULT CommandFailure(int32_t number) {
  if (number <= 0 || number > 0xFFFF) number = err::kHostRefused;
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}

SubObject::SubObject() { ++g_objects; }

SubObject::~SubObject() {
  // The shut-down of kelvora::Sub runs with the members' destruction; it
  // never throws.
  if (type_info_ != nullptr) type_info_->Release();
  if (class_info_ != nullptr) class_info_->Release();
  --g_objects;
}

HRESULT SubObject::Create(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* obj = new (std::nothrow) SubObject();
  if (obj == nullptr) return E_OUTOFMEMORY;
  ITypeLib* lib = nullptr;
  HRESULT hr = E_OUTOFMEMORY;
  try {
    hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &lib);
  } catch (...) {
    lib = nullptr;
  }
  if (SUCCEEDED(hr)) {
    hr = lib->GetTypeInfoOfGuid(IID__Sub, &obj->type_info_);
    if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(CLSID_Sub, &obj->class_info_);
    lib->Release();
  }
  if (SUCCEEDED(hr)) hr = obj->QueryInterface(riid, out);
  obj->Release();
  return hr;
}

HRESULT SubObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__Sub) {
    *out = static_cast<_Sub*>(this);
  } else if (riid == IID_ISupportErrorInfo) {
    *out = static_cast<ISupportErrorInfo*>(this);
  } else if (riid == IID_IProvideClassInfo) {
    *out = static_cast<IProvideClassInfo*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG SubObject::AddRef() { return ++refs_; }

ULONG SubObject::Release() {
  const ULONG n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT SubObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT SubObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  type_info_->AddRef();
  *info = type_info_;
  return S_OK;
}

HRESULT SubObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(type_info_, names, count, ids);
}

HRESULT SubObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  // The EXCEPINFO is output only: what it holds on entry is not ours.
  if (excep != nullptr) *excep = EXCEPINFO{};
  last_failure_.reset();
  HRESULT hr = S_OK;
  if (id == kSupId && (flags & DISPATCH_METHOD) != 0) {
    if (result != nullptr) VariantInit(result);
    hr = InvokeSup(params, arg_err);
  } else {
    hr =
        DispInvoke(static_cast<_Sub*>(this), type_info_, id, flags, params, result, excep, arg_err);
  }
  if (last_failure_) {
    // The command ran and failed: report its own number and description in
    // place of what the dispatcher made of the HRESULT.
    ClearExcepInfo(excep);
    FillExcepInfo(excep, last_failure_->number, last_failure_->description);
    last_failure_.reset();
    return DISP_E_EXCEPTION;
  }
  return hr;
}

HRESULT SubObject::InvokeSup(const DISPPARAMS* params, UINT* arg_err) {
  if (params == nullptr) return E_INVALIDARG;
  if (params->cArgs != 2 || params->cNamedArgs > 2) return DISP_E_BADPARAMCOUNT;
  // Named arguments come first, with their parameter's position; the
  // positional ones follow in reverse order.
  const VARIANT* at[2] = {nullptr, nullptr};
  for (UINT i = 0; i < 2; ++i) {
    const DISPID position =
        i < params->cNamedArgs ? params->rgdispidNamedArgs[i] : static_cast<DISPID>(1 - i);
    if (position < 0 || position > 1 || at[position] != nullptr) {
      if (arg_err != nullptr) *arg_err = i;
      return DISP_E_PARAMNOTFOUND;
    }
    at[position] = &params->rgvarg[i];
  }
  IDispatch* objects[2] = {nullptr, nullptr};
  const char* const names[2] = {"ExcelApp", "ThisWorkBook"};
  for (int p = 0; p < 2; ++p) {
    const std::optional<IDispatch*> object = ObjectArgument(*at[p]);
    if (!object) return Fail(err::kTypeMismatch, std::string("Type mismatch (") + names[p] + ")");
    objects[p] = *object;
  }
  return Sup(&objects[0], &objects[1]);
}

HRESULT SubObject::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID__Sub ? S_OK : S_FALSE;
}

HRESULT SubObject::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  class_info_->AddRef();
  *info = class_info_;
  return S_OK;
}

HRESULT SubObject::Fail(int32_t number, const std::string& description_utf8) noexcept {
  try {
    last_failure_ = Failure{number, Wide(description_utf8)};
  } catch (...) {
    last_failure_ = Failure{number, std::wstring()};
  }
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    create->SetGUID(IID__Sub);
    create->SetSource(const_cast<LPOLESTR>(L"Kelvora.Sub"));
    create->SetDescription(const_cast<LPOLESTR>(last_failure_->description.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return CommandFailure(number);
}

template <typename Body>
HRESULT SubObject::Guard(Body&& body) noexcept {
  last_failure_.reset();
  const std::optional<CallFailure> failure = RunGuarded(body);
  if (!failure) {
    SetErrorInfo(0, nullptr);
    return S_OK;
  }
  return Fail(failure->number, failure->description);
}

HRESULT SubObject::Sup(IDispatch** ExcelApp, IDispatch** ThisWorkBook) {
  return Guard([&] {
    IDispatch* app = ExcelApp != nullptr ? *ExcelApp : nullptr;
    IDispatch* book = ThisWorkBook != nullptr ? *ThisWorkBook : nullptr;
    sub_.Sup(host::excel::WrapApplication(app), host::excel::WrapWorkbook(book));
  });
}

HRESULT SubObject::DanKQXS() {
  return Guard([&] { sub_.DanKQXS(); });
}
HRESULT SubObject::DanKQXSNgay() {
  return Guard([&] { sub_.DanKQXSNgay(); });
}
HRESULT SubObject::DanKQXSDB() {
  return Guard([&] { sub_.DanKQXSDB(); });
}
HRESULT SubObject::Main() {
  return Guard([&] { sub_.Main(); });
}
HRESULT SubObject::XoaDuLieu() {
  return Guard([&] { sub_.XoaDuLieu(); });
}
HRESULT SubObject::Copy1() {
  return Guard([&] { sub_.Copy1(); });
}
HRESULT SubObject::Copy2() {
  return Guard([&] { sub_.Copy2(); });
}
HRESULT SubObject::Copy3() {
  return Guard([&] { sub_.Copy3(); });
}
HRESULT SubObject::Copy4() {
  return Guard([&] { sub_.Copy4(); });
}
HRESULT SubObject::Copy5() {
  return Guard([&] { sub_.Copy5(); });
}
HRESULT SubObject::Copy6() {
  return Guard([&] { sub_.Copy6(); });
}
HRESULT SubObject::BaoCao() {
  return Guard([&] { sub_.BaoCao(); });
}

}  // namespace kelvora::com
