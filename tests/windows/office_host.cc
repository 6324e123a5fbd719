// Uses an installed Kelvora.Connect as Office does, with nothing of the fake
// Excel: creates the class by the name Office looks up, asks it for the
// markup of Excel's workbook ribbon, parses that with MSXML and resolves
// every onAction by name on the add-in. Prints "ok N onAction, N dispatch
// ids" when each resolved to an id of its own, or what failed.
// usage: kelvora_office_host
#include <windows.h>

#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <set>

#include "com/office_addin.h"

namespace {

int Failed(const char* what, HRESULT hr) {
  std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
  return 1;
}

int Run() {
  CLSID clsid{};
  IUnknown* addin = nullptr;
  IDispatch* callbacks = nullptr;
  kelvora::com::IRibbonExtensibility* ribbon = nullptr;
  HRESULT hr = CLSIDFromProgID(L"Kelvora.Connect", &clsid);
  if (FAILED(hr)) return Failed("CLSIDFromProgID(Kelvora.Connect)", hr);
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                        reinterpret_cast<void**>(&addin));
  if (FAILED(hr)) return Failed("CoCreateInstance", hr);
  if (FAILED(hr = addin->QueryInterface(kelvora::com::kIidRibbonExtensibility,
                                        reinterpret_cast<void**>(&ribbon))) ||
      FAILED(hr = addin->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&callbacks)))) {
    return Failed("QueryInterface", hr);
  }
  BSTR id = SysAllocString(L"Microsoft.Excel.Workbook"), xml = nullptr;
  if (FAILED(hr = ribbon->GetCustomUI(id, &xml))) return Failed("GetCustomUI", hr);

  IXMLDOMDocument* doc = nullptr;
  IXMLDOMElement* root = nullptr;
  IXMLDOMNodeList* all = nullptr;
  VARIANT_BOOL parsed = VARIANT_FALSE;
  BSTR ns = nullptr;
  CLSID msxml{};
  if (FAILED(hr = CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &msxml)) ||
      FAILED(hr = CoCreateInstance(msxml, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                   reinterpret_cast<void**>(&doc))) ||
      FAILED(hr = doc->loadXML(xml, &parsed)) || parsed != VARIANT_TRUE ||
      FAILED(hr = doc->get_documentElement(&root)) || FAILED(hr = root->get_namespaceURI(&ns))) {
    return Failed("parsing the markup", hr);
  }
  if (ns == nullptr || wcscmp(ns, L"http://schemas.microsoft.com/office/2009/07/customui") != 0) {
    std::printf("namespace %ls\n", ns ? ns : L"(none)");
    return 1;
  }
  BSTR any = SysAllocString(L"*");
  if (FAILED(hr = root->getElementsByTagName(any, &all))) return Failed("listing elements", hr);
  std::set<DISPID> ids;
  size_t actions = 0;
  for (IXMLDOMNode* node = nullptr; all->nextNode(&node) == S_OK; node->Release()) {
    IXMLDOMElement* e = nullptr;
    VARIANT action;
    VariantInit(&action);
    BSTR name = SysAllocString(L"onAction");
    node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&e));
    if (e != nullptr && e->getAttribute(name, &action) == S_OK && V_VT(&action) == VT_BSTR) {
      ++actions;
      DISPID dispid = DISPID_UNKNOWN;
      if (FAILED(hr = callbacks->GetIDsOfNames(IID_NULL, &V_BSTR(&action), 1, LOCALE_USER_DEFAULT,
                                               &dispid))) {
        std::printf("onAction %ls: ", V_BSTR(&action));
        return Failed("GetIDsOfNames", hr);
      }
      ids.insert(dispid);
    }
    VariantClear(&action);
    SysFreeString(name);
    if (e != nullptr) e->Release();
  }
  std::printf("%s %u onAction, %u dispatch ids\n", ids.size() == actions ? "ok" : "FAILED",
              static_cast<unsigned>(actions), static_cast<unsigned>(ids.size()));
  for (IUnknown* p :
       {static_cast<IUnknown*>(all), static_cast<IUnknown*>(root), static_cast<IUnknown*>(doc),
        static_cast<IUnknown*>(ribbon), static_cast<IUnknown*>(callbacks), addin}) {
    p->Release();
  }
  for (BSTR b : {id, xml, ns, any}) SysFreeString(b);
  return ids.size() == actions && actions > 0 ? 0 : 1;
}

}  // namespace

int wmain() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int status = Run();
  CoUninitialize();
  return status;
}
