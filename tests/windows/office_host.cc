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

int Run() {
  CLSID clsid{}, msxml{};
  IUnknown* addin = nullptr;
  IDispatch* callbacks = nullptr;
  kelvora::com::IRibbonExtensibility* ribbon = nullptr;
  IXMLDOMDocument* doc = nullptr;
  IXMLDOMElement* root = nullptr;
  IXMLDOMNodeList* all = nullptr;
  BSTR id = SysAllocString(L"Microsoft.Excel.Workbook"), any = SysAllocString(L"*"),
       action_name = SysAllocString(L"onAction"), xml = nullptr, ns = nullptr;
  VARIANT_BOOL parsed = VARIANT_FALSE;
  HRESULT hr = S_OK;
  const char* step = "creating Kelvora.Connect";
  if (FAILED(hr = CLSIDFromProgID(L"Kelvora.Connect", &clsid)) ||
      FAILED(hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&addin))) ||
      FAILED(hr = addin->QueryInterface(kelvora::com::kIidRibbonExtensibility,
                                        reinterpret_cast<void**>(&ribbon))) ||
      FAILED(hr = addin->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&callbacks))) ||
      (step = "getting the markup", FAILED(hr = ribbon->GetCustomUI(id, &xml))) ||
      (step = "parsing the markup",
       FAILED(hr = CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &msxml))) ||
      FAILED(hr = CoCreateInstance(msxml, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                   reinterpret_cast<void**>(&doc))) ||
      FAILED(hr = doc->loadXML(xml, &parsed)) || parsed != VARIANT_TRUE ||
      FAILED(hr = doc->get_documentElement(&root)) || FAILED(hr = root->get_namespaceURI(&ns)) ||
      FAILED(hr = root->getElementsByTagName(any, &all))) {
    std::printf("%s failed: 0x%08lx\n", step, static_cast<unsigned long>(hr));
    return 1;
  }
  if (ns == nullptr || wcscmp(ns, L"http://schemas.microsoft.com/office/2009/07/customui") != 0) {
    std::printf("namespace %ls\n", ns ? ns : L"(none)");
    return 1;
  }
  std::set<DISPID> ids;
  unsigned actions = 0;
  for (IXMLDOMNode* node = nullptr; all->nextNode(&node) == S_OK; node->Release()) {
    IXMLDOMElement* e = nullptr;
    VARIANT action;
    VariantInit(&action);
    node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&e));
    if (e != nullptr && e->getAttribute(action_name, &action) == S_OK) {
      ++actions;
      DISPID dispid = DISPID_UNKNOWN;
      hr = callbacks->GetIDsOfNames(IID_NULL, &V_BSTR(&action), 1, LOCALE_USER_DEFAULT, &dispid);
      if (FAILED(hr)) std::printf("onAction %ls: 0x%08lx\n", V_BSTR(&action), hr);
      if (SUCCEEDED(hr)) ids.insert(dispid);
    }
    VariantClear(&action);
    if (e != nullptr) e->Release();
  }
  std::printf("%s %u onAction, %u dispatch ids\n", ids.size() == actions ? "ok" : "FAILED", actions,
              static_cast<unsigned>(ids.size()));
  for (IUnknown* p : std::initializer_list<IUnknown*>{all, root, doc, ribbon, callbacks, addin}) {
    p->Release();
  }
  for (BSTR b : {id, any, action_name, xml, ns}) SysFreeString(b);
  return ids.size() == actions && actions > 0 ? 0 : 1;
}

}  // namespace

int wmain() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int status = Run();
  CoUninitialize();
  return status;
}
