#include "excel/dispatch.h"

#include <cstdio>
#include <new>

#include "host/error.h"
#include "text/utf.h"

namespace kelvora::host::excel {

Variant::Variant(const Variant& o) {
  VariantInit(&v_);
  if (FAILED(VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)))) throw std::bad_alloc();
}

Variant::Variant(Variant&& o) noexcept {
  v_ = o.v_;
  VariantInit(&o.v_);
}

Variant Variant::Bool(bool b) {
  Variant v;
  V_VT(&v.v_) = VT_BOOL;
  V_BOOL(&v.v_) = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

Variant Variant::Int(int32_t i) {
  Variant v;
  V_VT(&v.v_) = VT_I4;
  V_I4(&v.v_) = i;
  return v;
}

Variant Variant::Double(double d) {
  Variant v;
  V_VT(&v.v_) = VT_R8;
  V_R8(&v.v_) = d;
  return v;
}

Variant Variant::Text(const std::u16string& s) {
  Variant v;
  V_VT(&v.v_) = VT_BSTR;
  V_BSTR(&v.v_) = ToBstr(s);
  return v;
}

Variant Variant::Dispatch(IDispatch* d) {
  Variant v;
  V_VT(&v.v_) = VT_DISPATCH;
  V_DISPATCH(&v.v_) = d;
  if (d) d->AddRef();
  return v;
}

DispatchPtr Variant::AsDispatch() const {
  IDispatch* d = nullptr;
  if (V_VT(&v_) == VT_DISPATCH) {
    d = V_DISPATCH(&v_);
  } else if (V_VT(&v_) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(&v_) != nullptr) {
    d = *V_DISPATCHREF(&v_);
  } else {
    ThrowTypeMismatch();
  }
  if (d == nullptr) ThrowObjectRequired("object");
  return DispatchPtr(d);
}

std::u16string FromBstr(BSTR b) {
  if (b == nullptr) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
}

BSTR ToBstr(const std::u16string& s) {
  BSTR b =
      SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
  if (b == nullptr) throw std::bad_alloc();
  return b;
}

namespace {

// Excel reads a call's arguments (a number written as text, a date) in the
// locale the call gives; VBA always gives English (United States), and so
// does the engine, whatever the user's regional settings.
constexpr LCID kCallLocale = 1033;

std::string Narrow(const wchar_t* w) { return Utf16ToUtf8(reinterpret_cast<const char16_t*>(w)); }

// Frees what an EXCEPINFO holds when it goes out of scope.
struct ExcepInfo {
  EXCEPINFO info{};
  ~ExcepInfo() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
};

Variant Invoke(IDispatch* object, const wchar_t* member, WORD flags, std::vector<Variant>& args,
               std::vector<NamedArg>& named, bool property_put) {
  if (object == nullptr) ThrowObjectRequired(Narrow(member).c_str());
  // Look up the member and the names of its named arguments in one call.
  std::vector<LPOLESTR> names;
  names.push_back(const_cast<LPOLESTR>(member));
  for (NamedArg& n : named) names.push_back(const_cast<LPOLESTR>(n.name));
  std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()),
                                     kCallLocale, ids.data());
  if (FAILED(hr)) ThrowCallFailed(member, hr, nullptr);

  // rgvarg holds the named arguments first (in the order of their ids), then
  // the positional ones in reverse order.
  std::vector<VARIANTARG> rgvarg;
  std::vector<DISPID> named_ids;
  rgvarg.reserve(args.size() + named.size());
  for (size_t i = 0; i < named.size(); ++i) {
    rgvarg.push_back(*named[i].value.get());
    named_ids.push_back(ids[i + 1]);
  }
  for (size_t i = args.size(); i-- > 0;) rgvarg.push_back(*args[i].get());
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = rgvarg.empty() ? nullptr : rgvarg.data();
  params.cArgs = static_cast<UINT>(rgvarg.size());
  if (property_put) {
    params.rgdispidNamedArgs = &put_id;
    params.cNamedArgs = 1;
  } else {
    params.rgdispidNamedArgs = named_ids.empty() ? nullptr : named_ids.data();
    params.cNamedArgs = static_cast<UINT>(named_ids.size());
  }

  Variant result;
  ExcepInfo excep;
  UINT arg_err = 0;
  hr = object->Invoke(ids[0], IID_NULL, kCallLocale, flags, &params,
                      property_put ? nullptr : result.get(), &excep.info, &arg_err);
  if (FAILED(hr)) ThrowCallFailed(member, hr, &excep.info);
  return result;
}

}  // namespace

Variant Call(IDispatch* object, const wchar_t* member, std::vector<Variant> args,
             std::vector<NamedArg> named) {
  return Invoke(object, member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, named, false);
}

void Put(IDispatch* object, const wchar_t* member, Variant value) {
  std::vector<Variant> args;
  args.push_back(std::move(value));
  std::vector<NamedArg> named;
  Invoke(object, member, DISPATCH_PROPERTYPUT, args, named, true);
}

void ThrowCallFailed(const wchar_t* member, HRESULT hr, EXCEPINFO* excep) {
  const std::string name = Narrow(member);
  if (hr == DISP_E_EXCEPTION && excep != nullptr) {
    if (excep->pfnDeferredFillIn != nullptr) excep->pfnDeferredFillIn(excep);
    const HRESULT scode = excep->scode != 0 ? excep->scode : static_cast<HRESULT>(excep->wCode);
    int32_t number = err::kHostRefused;
    if (excep->wCode != 0) {
      number = excep->wCode;
    } else if (HRESULT_FACILITY(scode) == FACILITY_CONTROL) {
      number = HRESULT_CODE(scode);
    }
    std::string description = Utf16ToUtf8(FromBstr(excep->bstrDescription));
    if (description.empty()) description = "Method '" + name + "' failed";
    throw CommandError(number, description);
  }
  switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
      throw CommandError(438, "Object doesn't support this property or method: " + name);
    case DISP_E_TYPEMISMATCH:
      ThrowTypeMismatch();
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
      throw CommandError(450, "Wrong number of arguments or invalid property assignment: " + name);
    case DISP_E_OVERFLOW:
      ThrowOverflow();
    case E_OUTOFMEMORY:
      throw std::bad_alloc();
    default:
      break;
  }
  char code[16];
  snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
  const int32_t number =
      HRESULT_FACILITY(hr) == FACILITY_CONTROL ? HRESULT_CODE(hr) : err::kHostRefused;
  throw CommandError(number, "Method '" + name + "' failed (0x" + code + ")");
}

}  // namespace kelvora::host::excel
