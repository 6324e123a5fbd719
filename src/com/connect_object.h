// The object behind class Connect: Kelvora as a COM add-in of Excel. Excel
// connects it (IDTExtensibility2), asks it for the markup of the Kelvora
// tab (IRibbonExtensibility) and calls the tab's callbacks by name through
// IDispatch, each with the IRibbonControl that was clicked.
//
// A click on a command runs it on the active workbook as a macro of that
// workbook would: the workbook's shape is checked first, without changing
// anything, and a workbook without it is refused with a message before
// anything is written; then the workbook is bound as Sup binds it, the
// command runs on the thread's session, the binding is released as
// destroying a Sub releases it, and the binding that was there before the
// click (a workbook's macros) is put back. Every outcome is shown to the
// user: no callback ever returns a failure to Excel, which would disable
// the add-in.
#pragma once

#include <windows.h>

#include <oleauto.h>
#undef MessageBox

#include <atomic>
#include <string>

#include "entry/commands.h"
#include "entry/ribbon.h"
#include "office_addin.h"

namespace kelvora::com {

// Class Connect: {893B601F-9291-43CC-8FB1-C109FFFE3296}.
inline constexpr CLSID kClsidConnect = {
    0x893b601f, 0x9291, 0x43cc, {0x8f, 0xb1, 0xc1, 0x09, 0xff, 0xfe, 0x32, 0x96}};

class ConnectObject final : public IDTExtensibility2, public IRibbonExtensibility {
 public:
  // Creates an object with one reference, or returns the failure.
  static HRESULT Create(REFIID riid, void** out);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: the callbacks of the tab's buttons, by their onAction names
  // (without regard to case), with dispatch ids from 1 in the order of the
  // buttons. Each takes the clicked control as its one argument. There is
  // no type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                   UINT* arg_err) override;

  // IDTExtensibility2: OnConnection keeps the Application (a new one
  // replaces the old); OnDisconnection and OnBeginShutdown give it back.
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                         IDispatch* AddInInst, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode,
                                            SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

  // IRibbonExtensibility: the markup (UTF-16) for Excel's workbook ribbon,
  // an empty string for any other ribbon.
  HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) override;

 private:
  ConnectObject();
  ~ConnectObject();

  // The click on `button`, with every outcome shown; never throws.
  void Click(const RibbonButton& button) noexcept;
  void RunCommand(const Command& command);
  void CheckWorkbook();
  void NewWorkbook();
  void ReleaseApplication();

  std::atomic<ULONG> refs_{1};
  IDispatch* app_ = nullptr;  // Excel's Application while connected
};

}  // namespace kelvora::com
