// The interfaces through which Office loads a COM add-in and its ribbon
// customisation, declared here from Office's documented identifiers and
// method order (the MinGW-w64 headers do not carry them). All three are
// dual interfaces: IDispatch's seven methods come first.
#pragma once

#include <windows.h>

#include <oaidl.h>

namespace kelvora::com {

// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}
inline constexpr IID kIidDTExtensibility2 = {
    0xb65ad801, 0xabaf, 0x11d0, {0xbb, 0x8b, 0x00, 0xa0, 0xc9, 0x0f, 0x27, 0x44}};
// {000C0396-0000-0000-C000-000000000046}
inline constexpr IID kIidRibbonExtensibility = {
    0x000c0396, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {000C0395-0000-0000-C000-000000000046}
inline constexpr IID kIidRibbonControl = {
    0x000c0395, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// How the host connected the add-in.
enum ext_ConnectMode {
  ext_cm_AfterStartup = 0,
  ext_cm_Startup = 1,
  ext_cm_External = 2,
  ext_cm_CommandLine = 3,
};
// Why the host disconnects it.
enum ext_DisconnectMode {
  ext_dm_HostShutdown = 0,
  ext_dm_UserClosed = 1,
};

// The add-in's side of the connection; `custom` is host data, unused.
struct IDTExtensibility2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application,
                                                 ext_ConnectMode ConnectMode, IDispatch* AddInInst,
                                                 SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode,
                                                    SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

// Asked once per ribbon for the customUI markup.
struct IRibbonExtensibility : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) = 0;
};

// The control a callback is made for.
struct IRibbonControl : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Id(BSTR* Id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Context(IDispatch** Context) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* Tag) = 0;
};

}  // namespace kelvora::com
