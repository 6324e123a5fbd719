// Uses an installed Kelvora.Connect as Office does, with nothing of the fake
// Excel: creates the class by the name Office looks up, asks it for the
// markup of Excel's workbook ribbon and resolves every onAction of it by name
// on the add-in. Prints "ok N onAction, N dispatch ids" when each resolved
// to an id of its own, or what failed. (The markup itself is checked against
// the schema by the engine's tests.)
// usage: kelvora_office_host
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <set>
#include <string>

#include "com/office_addin.h"

namespace {

int Run() {
  CLSID clsid{};
  IUnknown* addin = nullptr;
  IDispatch* callbacks = nullptr;
  kelvora::com::IRibbonExtensibility* ribbon = nullptr;
  BSTR id = SysAllocString(L"Microsoft.Excel.Workbook"), xml = nullptr;
  HRESULT hr = S_OK;
  if (FAILED(hr = CLSIDFromProgID(L"Kelvora.Connect", &clsid)) ||
      FAILED(hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&addin))) ||
      FAILED(hr = addin->QueryInterface(kelvora::com::kIidRibbonExtensibility,
                                        reinterpret_cast<void**>(&ribbon))) ||
      FAILED(hr = addin->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&callbacks))) ||
      FAILED(hr = ribbon->GetCustomUI(id, &xml)) || xml == nullptr) {
    std::printf("creating Kelvora.Connect or getting its markup failed: 0x%08lx\n",
                static_cast<unsigned long>(hr));
    return 1;
  }
  const std::wstring markup(xml, SysStringLen(xml)), attribute = L"onAction=\"";
  std::set<DISPID> ids;
  unsigned actions = 0;
  for (size_t at = markup.find(attribute); at != std::wstring::npos;
       at = markup.find(attribute, at + 1)) {
    const size_t start = at + attribute.size();
    std::wstring name = markup.substr(start, markup.find(L'"', start) - start);
    LPOLESTR names[] = {name.data()};
    DISPID dispid = DISPID_UNKNOWN;
    ++actions;
    hr = callbacks->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) std::printf("onAction %ls: 0x%08lx\n", name.c_str(), hr);
    if (SUCCEEDED(hr)) ids.insert(dispid);
  }
  std::printf("%s %u onAction, %u dispatch ids\n", ids.size() == actions ? "ok" : "FAILED", actions,
              static_cast<unsigned>(ids.size()));
  for (IUnknown* p : std::initializer_list<IUnknown*>{ribbon, callbacks, addin}) p->Release();
  for (BSTR b : {id, xml}) SysFreeString(b);
  return ids.size() == actions && actions > 0 ? 0 : 1;
}

}  // namespace

int wmain() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int status = Run();
  CoUninitialize();
  return status;
}
