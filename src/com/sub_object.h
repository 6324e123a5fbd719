// The automation object behind class Sub: the dual interface _Sub dispatched
// through the type library, around one kelvora::Sub. No C++ exception leaves
// it: a failed command returns MAKE_HRESULT(1, FACILITY_CONTROL, number) with
// an IErrorInfo carrying the description, and through IDispatch::Invoke
// DISP_E_EXCEPTION with the same number and description in the EXCEPINFO, so
// that the macro shows "Run-time error <number>: <description>".
//
// Sup takes each object as a late-bound caller passes it: by value, by
// reference, or by reference inside a Variant (a script's variables, a VBA
// Variant). The class information names the class "Sub", which is what
// VBA's TypeName shows.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>
#undef MessageBox

#include <atomic>
#include <optional>
#include <string>

#include "Kelvora_h.h"
#include "entry/sub.h"

namespace kelvora::com {

class SubObject final : public _Sub, public ISupportErrorInfo, public IProvideClassInfo {
 public:
  // Creates an object with one reference, or returns the failure.
  static HRESULT Create(REFIID riid, void** out);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                   UINT* arg_err) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // IProvideClassInfo: the type information of the coclass Sub.
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;

  // _Sub
  HRESULT STDMETHODCALLTYPE Sup(IDispatch** ExcelApp, IDispatch** ThisWorkBook) override;
  HRESULT STDMETHODCALLTYPE DanKQXS() override;
  HRESULT STDMETHODCALLTYPE DanKQXSNgay() override;
  HRESULT STDMETHODCALLTYPE DanKQXSDB() override;
  HRESULT STDMETHODCALLTYPE Main() override;
  HRESULT STDMETHODCALLTYPE XoaDuLieu() override;
  HRESULT STDMETHODCALLTYPE Copy1() override;
  HRESULT STDMETHODCALLTYPE Copy2() override;
  HRESULT STDMETHODCALLTYPE Copy3() override;
  HRESULT STDMETHODCALLTYPE Copy4() override;
  HRESULT STDMETHODCALLTYPE Copy5() override;
  HRESULT STDMETHODCALLTYPE Copy6() override;
  HRESULT STDMETHODCALLTYPE BaoCao() override;

 private:
  SubObject();
  ~SubObject();

  struct Failure {
    int32_t number;
    std::wstring description;
  };

  // Runs `body` with the Windows platform installed and turns every failure
  // into an HRESULT and error information.
  template <typename Body>
  HRESULT Guard(Body&& body) noexcept;
  HRESULT Fail(int32_t number, const std::string& description_utf8) noexcept;
  // Sup called by name: finds its two objects among `params` and calls Sup.
  HRESULT InvokeSup(const DISPPARAMS* params, UINT* arg_err);

  std::atomic<ULONG> refs_{1};
  ITypeInfo* type_info_ = nullptr;   // _Sub
  ITypeInfo* class_info_ = nullptr;  // Sub
  std::optional<Failure> last_failure_;
  Sub sub_;
};

// The HRESULT a failed command returns for error `number`.
HRESULT CommandFailure(int32_t number);

}  // namespace kelvora::com
