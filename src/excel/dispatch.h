// Late-bound automation calls by member name: the one way the Excel back end
// reaches the running Excel. Every call looks the member (and its named
// arguments) up with GetIDsOfNames and makes it with Invoke, both in locale
// 1033 as VBA makes them; a refused call is thrown as kelvora::CommandError
// with the number and description the server reported.
#pragma once

#include <windows.h>

#include <oleauto.h>
// The host layer has a class of this name; the system's wide/narrow macro
// would rename it.
#undef MessageBox

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace kelvora::host::excel {

// A counted IDispatch reference: copying adds a reference, destruction gives
// it back.
class DispatchPtr {
 public:
  DispatchPtr() = default;
  // Takes a new reference on `p` (AddRef).
  explicit DispatchPtr(IDispatch* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  // Adopts a reference the caller already owns.
  static DispatchPtr Adopt(IDispatch* p) {
    DispatchPtr d;
    d.p_ = p;
    return d;
  }
  DispatchPtr(const DispatchPtr& o) : DispatchPtr(o.p_) {}
  DispatchPtr(DispatchPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  DispatchPtr& operator=(DispatchPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~DispatchPtr() {
    if (p_) p_->Release();
  }

  IDispatch* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  IDispatch* p_ = nullptr;
};

// A VARIANT that clears itself.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant& o);
  Variant(Variant&& o) noexcept;
  Variant& operator=(const Variant&) = delete;
  Variant& operator=(Variant&&) = delete;
  ~Variant() { VariantClear(&v_); }

  static Variant Bool(bool b);
  static Variant Int(int32_t i);
  static Variant Double(double d);
  static Variant Text(const std::u16string& s);
  // Takes a new reference on `d`; a null pointer gives a VT_DISPATCH Nothing.
  static Variant Dispatch(IDispatch* d);

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  // The object a VT_DISPATCH (or VT_DISPATCH by reference) holds, with a new
  // reference; anything else fails with a type mismatch (13), Nothing with
  // error 91.
  DispatchPtr AsDispatch() const;

 private:
  VARIANT v_;
};

// A named argument of a call.
struct NamedArg {
  const wchar_t* name;
  Variant value;
};

// Gets a property or calls a method (DISPATCH_METHOD | DISPATCH_PROPERTYGET)
// with positional arguments in their natural order and then named ones.
// `what` names the object for error messages ("Range", "Worksheet").
Variant Call(IDispatch* object, const wchar_t* member, std::vector<Variant> args = {},
             std::vector<NamedArg> named = {});
// Property put (DISPATCH_PROPERTYPUT with the DISPID_PROPERTYPUT argument).
void Put(IDispatch* object, const wchar_t* member, Variant value);

// Turns a failed call into a CommandError: `hr` with `excep` when the server
// filled one. Exposed for tests.
[[noreturn]] void ThrowCallFailed(const wchar_t* member, HRESULT hr, EXCEPINFO* excep);

// UTF-16 helpers for the BSTR edge.
std::u16string FromBstr(BSTR b);
BSTR ToBstr(const std::u16string& s);

}  // namespace kelvora::host::excel
