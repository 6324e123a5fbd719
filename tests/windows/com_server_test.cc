// Kelvora.dll as Excel meets it: registered, created by its class name,
// every method called by name through IDispatch, against the fake Excel.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#undef MessageBox

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>

#include "Kelvora_h.h"
#include "cell_text.h"
#include "check.h"
#include "entry/sub.h"
#include "scenarios.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

using host::Value;

using EntryPoint = HRESULT(STDAPICALLTYPE*)();
using InstallEntry = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

HMODULE Dll() {
  static HMODULE module = LoadLibraryW(Env().dll_path.c_str());
  return module;
}

HRESULT CallExport(const char* name) {
  auto f = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(Dll(), name)));
  return f == nullptr ? E_NOTIMPL : f();
}

HRESULT Install(BOOL install, const wchar_t* command_line) {
  auto f =
      reinterpret_cast<InstallEntry>(reinterpret_cast<void*>(GetProcAddress(Dll(), "DllInstall")));
  return f == nullptr ? E_NOTIMPL : f(install, command_line);
}

std::wstring GuidText(REFGUID g) {
  wchar_t buf[40] = {};
  StringFromGUID2(g, buf, 40);
  return buf;
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

std::wstring KeyValue(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof buf;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buf;
}

// The keys a registration writes under one root's Software\Classes.
std::vector<std::wstring> ServerKeys() {
  return {L"Software\\Classes\\CLSID\\" + GuidText(CLSID_Sub), L"Software\\Classes\\Kelvora.Sub",
          L"Software\\Classes\\TypeLib\\" + GuidText(LIBID_Kelvora),
          L"Software\\Classes\\Interface\\" + GuidText(IID__Sub)};
}

int KeysPresent(HKEY root) {
  int n = 0;
  for (const auto& k : ServerKeys()) n += KeyExists(root, k) ? 1 : 0;
  return n;
}

std::string Narrow(const std::wstring& w) {
  return Utf16ToUtf8(std::u16string(w.begin(), w.end()));
}

// The outcome of one call by name.
struct Outcome {
  HRESULT hr = S_OK;
  SCODE scode = 0;
  std::wstring description;
  int32_t number() const { return hr == DISP_E_EXCEPTION ? HRESULT_CODE(scode) : 0; }
};

Outcome CallByName(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args = {}) {
  Outcome out;
  DISPID id = 0;
  LPOLESTR n = const_cast<LPOLESTR>(name);
  out.hr = d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(out.hr)) return out;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                    static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO excep{};
  UINT arg_err = 0;
  VARIANT result;
  VariantInit(&result);
  out.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &excep,
                     &arg_err);
  VariantClear(&result);
  out.scode = excep.scode;
  if (excep.bstrDescription) out.description = excep.bstrDescription;
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrHelpFile);
  return out;
}

IDispatch* CreateSub() {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(L"Kelvora.Sub", &clsid))) return nullptr;
  IDispatch* d = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&d)))) {
    return nullptr;
  }
  return d;
}

// Registers machine-wide once for the tests that need a registered server.
IDispatch* RegisteredSub() {
  static bool registered = SUCCEEDED(CallExport("DllRegisterServer"));
  if (!registered) return nullptr;
  return CreateSub();
}

VARIANT ByValue(IDispatch* d) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = d;
  return v;
}

// Calls Sup with the fake application and workbook of `state`, passed as a
// late-bound macro passes object expressions (by value) or variables (by
// reference).
Outcome Sup(IDispatch* sub, const std::shared_ptr<FakeExcelState>& state, bool by_ref = false) {
  IDispatch* app = NewFakeApplication(state);
  IDispatch* book = NewFakeWorkbook(state);
  Outcome o;
  if (by_ref) {
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    V_VT(&a) = VT_DISPATCH | VT_BYREF;
    V_DISPATCHREF(&a) = &app;
    V_VT(&b) = VT_DISPATCH | VT_BYREF;
    V_DISPATCHREF(&b) = &book;
    o = CallByName(sub, L"Sup", {a, b});
  } else {
    o = CallByName(sub, L"Sup", {ByValue(app), ByValue(book)});
  }
  app->Release();
  book->Release();
  return o;
}

std::u16string ClipboardText() {
  std::u16string out;
  if (!OpenClipboard(nullptr)) return u"<busy>";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
      out = p;
      GlobalUnlock(h);
    }
  } else {
    out = u"<none>";
  }
  CloseClipboard();
  return out;
}

UINT TestFormat() {
  static UINT f = RegisterClipboardFormatW(L"KelvoraTestFormat");
  return f;
}

// Puts `text` and a private format on the clipboard.
void FillClipboard(const std::u16string& text) {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes);
  memcpy(GlobalLock(g), text.c_str(), bytes);
  GlobalUnlock(g);
  SetClipboardData(CF_UNICODETEXT, g);
  HGLOBAL p = GlobalAlloc(GMEM_MOVEABLE, 4);
  memset(GlobalLock(p), 1, 4);
  GlobalUnlock(p);
  SetClipboardData(TestFormat(), p);
  CloseClipboard();
}

bool ClipboardHasTestFormat() { return IsClipboardFormatAvailable(TestFormat()) != FALSE; }

TEST_CASE(RegistrationMachineWideAndPerUser) {
  CallExport("DllUnregisterServer");
  Install(FALSE, L"user");
  CHECK_EQ(KeysPresent(HKEY_LOCAL_MACHINE), 0);
  CHECK_EQ(KeysPresent(HKEY_CURRENT_USER), 0);

  const std::wstring clsid_key =
      L"Software\\Classes\\CLSID\\" + GuidText(CLSID_Sub) + L"\\InprocServer32";
  const std::wstring progid_key = L"Software\\Classes\\Kelvora.Sub\\CLSID";
  struct Case {
    const char* name;
    HKEY root;
    HKEY other;
    std::function<HRESULT()> reg;
    std::function<HRESULT()> unreg;
  };
  const std::vector<Case> cases = {
      {"machine", HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
       [] { return CallExport("DllRegisterServer"); },
       [] { return CallExport("DllUnregisterServer"); }},
      {"user", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, [] { return Install(TRUE, L"user"); },
       [] { return Install(FALSE, L"user"); }},
  };
  for (const Case& c : cases) {
    Stats().current_test = std::string("RegistrationMachineWideAndPerUser/") + c.name;
    CHECK_EQ(c.reg(), S_OK);
    CHECK_EQ(KeysPresent(c.root), 4);
    CHECK_EQ(KeysPresent(c.other), 0);
    CHECK(KeyValue(c.root, clsid_key, nullptr) == Env().dll_path);
    CHECK(KeyValue(c.root, clsid_key, L"ThreadingModel") == L"Apartment");
    CHECK(KeyValue(c.root, progid_key, nullptr) == GuidText(CLSID_Sub));
    const std::wstring platform = sizeof(void*) == 8 ? L"win64" : L"win32";
    CHECK(KeyValue(
              c.root,
              L"Software\\Classes\\TypeLib\\" + GuidText(LIBID_Kelvora) + L"\\1.0\\0\\" + platform,
              nullptr) == Env().dll_path);
    // Registering twice changes nothing.
    CHECK_EQ(c.reg(), S_OK);
    CHECK_EQ(KeysPresent(c.root), 4);
    // Wine's class lookup reads the machine-wide classes only, so creation
    // after a per-user registration can be checked on Windows alone.
    if (c.root == HKEY_LOCAL_MACHINE) {
      CLSID found{};
      CHECK_EQ(CLSIDFromProgID(L"Kelvora.Sub", &found), S_OK);
      CHECK(found == CLSID_Sub);
      IDispatch* d = CreateSub();
      CHECK(d != nullptr);
      if (d) d->Release();
    }
    CHECK_EQ(c.unreg(), S_OK);
    CHECK_EQ(KeysPresent(c.root), 0);
    // Unregistering what is not registered is no error.
    CHECK_EQ(c.unreg(), S_OK);
  }
  CHECK_EQ(Install(TRUE, L"everyone"), E_INVALIDARG);
  CHECK_EQ(KeysPresent(HKEY_LOCAL_MACHINE) + KeysPresent(HKEY_CURRENT_USER), 0);
}

TEST_CASE(TypeLibraryVersionAndExports) {
  for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                           "DllUnregisterServer", "DllInstall"}) {
    CHECK_MSG(GetProcAddress(Dll(), name) != nullptr, std::string("export ") + name);
  }
  CHECK(FindResourceExW(Dll(), L"TYPELIB", MAKEINTRESOURCEW(1),
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)) != nullptr);
  ITypeLib* lib = nullptr;
  CHECK_EQ(LoadTypeLibEx(Env().dll_path.c_str(), REGKIND_NONE, &lib), S_OK);
  if (lib == nullptr) return;
  BSTR name = nullptr;
  lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  CHECK(name != nullptr && std::wstring(name) == L"Kelvora");
  SysFreeString(name);
  ITypeInfo* coclass = nullptr;
  CHECK_EQ(lib->GetTypeInfoOfGuid(CLSID_Sub, &coclass), S_OK);
  if (coclass) {
    BSTR cname = nullptr;
    coclass->GetDocumentation(MEMBERID_NIL, &cname, nullptr, nullptr, nullptr);
    CHECK(cname != nullptr && std::wstring(cname) == L"Sub");
    SysFreeString(cname);
    coclass->Release();
  }
  // The vtable side of the dual interface: the twelve methods in order,
  // right after IDispatch's seven.
  ITypeInfo* disp = nullptr;
  CHECK_EQ(lib->GetTypeInfoOfGuid(IID__Sub, &disp), S_OK);
  ITypeInfo* vtbl = nullptr;
  HREFTYPE ref = 0;
  if (disp && SUCCEEDED(disp->GetRefTypeOfImplType(-1, &ref))) disp->GetRefTypeInfo(ref, &vtbl);
  CHECK(vtbl != nullptr);
  if (vtbl) {
    TYPEATTR* attr = nullptr;
    vtbl->GetTypeAttr(&attr);
    CHECK(attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FDUAL));
    CHECK_EQ(attr->cFuncs, 12);
    for (UINT i = 0; i < attr->cFuncs && i < 12; ++i) {
      FUNCDESC* f = nullptr;
      vtbl->GetFuncDesc(i, &f);
      BSTR fname = nullptr;
      UINT got = 0;
      vtbl->GetNames(f->memid, &fname, 1, &got);
      CHECK_EQ(Narrow(fname ? fname : L""), std::string(Sub::kMethodNames[i]));
      CHECK_EQ(f->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
      SysFreeString(fname);
      vtbl->ReleaseFuncDesc(f);
    }
    vtbl->ReleaseTypeAttr(attr);
    vtbl->Release();
  }
  if (disp) disp->Release();
  lib->Release();

  // Version information.
  const DWORD size = GetFileVersionInfoSizeW(Env().dll_path.c_str(), nullptr);
  std::vector<char> data(size);
  CHECK(size > 0 && GetFileVersionInfoW(Env().dll_path.c_str(), 0, size, data.data()));
  const std::pair<const wchar_t*, const wchar_t*> strings[] = {{L"ProductName", L"Kelvora"},
                                                               {L"InternalName", L"Kelvora"},
                                                               {L"FileVersion", L"1.00"},
                                                               {L"ProductVersion", L"1.00"},
                                                               {L"OLESelfRegister", L""}};
  for (const auto& [key, expected] : strings) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\000004b0\\") + key;
    void* value = nullptr;
    UINT len = 0;
    const bool found = size > 0 && VerQueryValueW(data.data(), path.c_str(), &value, &len);
    CHECK_MSG(found, "version string " + Narrow(key));
    if (found) CHECK(std::wstring(static_cast<const wchar_t*>(value)) == expected);
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (size > 0 && VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len)) {
    CHECK_EQ(fixed->dwFileVersionMS, 0x00010000ul);
    CHECK_EQ(fixed->dwProductVersionMS, 0x00010000ul);
  } else {
    CHECK_MSG(false, "fixed version information");
  }
}

TEST_CASE(EveryMethodIsCallableByName) {
  IDispatch* sub = RegisteredSub();
  CHECK(sub != nullptr);
  if (!sub) return;
  std::vector<DISPID> ids;
  for (std::string_view n : Sub::kMethodNames) {
    std::wstring w(n.begin(), n.end());
    // Names bind without regard to case, as macro code calls them.
    for (auto& ch : w) ch = static_cast<wchar_t>(towlower(ch));
    LPOLESTR p = w.data();
    DISPID id = DISPID_UNKNOWN;
    CHECK_EQ(sub->GetIDsOfNames(IID_NULL, &p, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    ids.push_back(id);
  }
  std::vector<DISPID> sorted = ids;
  std::sort(sorted.begin(), sorted.end());
  CHECK(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Copy7");
  DISPID id = 0;
  CHECK_EQ(sub->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
  // Sup wants its two objects.
  CHECK(FAILED(CallByName(sub, L"Sup").hr));
  sub->Release();
}

TEST_CASE(CommandsBeforeSupFailWithADescription) {
  IDispatch* sub = RegisteredSub();
  if (!CHECK(sub != nullptr)) return;
  // (command, expected error number; 0 = any failure, -1 = success). The
  // question of XoaDuLieu comes first; with no desktop it cannot be answered
  // Yes, so nothing is cleared and the call succeeds.
  const std::pair<const wchar_t*, int32_t> cases[] = {
      {L"Copy1", 91},    {L"Copy2", 91}, {L"Copy3", 91},    {L"Copy4", 91},
      {L"Copy5", 91},    {L"Copy6", 91}, {L"DanKQXS", 0},   {L"DanKQXSNgay", 0},
      {L"DanKQXSDB", 0}, {L"Main", 0},   {L"XoaDuLieu", -1}};
  for (const auto& [name, number] : cases) {
    const Outcome o = CallByName(sub, name);
    const std::string label = Narrow(name);
    if (number < 0) {
      CHECK_MSG(o.hr == S_OK, label + " succeeds");
      continue;
    }
    CHECK_MSG(o.hr == DISP_E_EXCEPTION, label + " fails as an automation error");
    CHECK_MSG(HRESULT_FACILITY(o.scode) == FACILITY_CONTROL, label + " carries its number");
    if (number > 0)
      CHECK_MSG(o.number() == number, label + " number " + std::to_string(o.number()));
    CHECK_MSG(!o.description.empty(), label + " has a description");
  }
  // An EXCEPINFO that the caller did not clear is filled, not freed.
  {
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(L"Copy1");
    sub->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO excep;
    memset(&excep, 0xCD, sizeof excep);
    CHECK_EQ(sub->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, &excep,
                         nullptr),
             DISP_E_EXCEPTION);
    CHECK_EQ(excep.scode, static_cast<SCODE>(0x800A005B));
    CHECK(excep.bstrDescription != nullptr && SysStringLen(excep.bstrDescription) > 0);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
  }
  // Through the vtable: the failure HRESULT and the error information.
  _Sub* direct = nullptr;
  CHECK_EQ(sub->QueryInterface(IID__Sub, reinterpret_cast<void**>(&direct)), S_OK);
  if (direct) {
    CHECK_EQ(direct->Copy1(), static_cast<HRESULT>(0x800A005B));
    IErrorInfo* info = nullptr;
    CHECK_EQ(GetErrorInfo(0, &info), S_OK);
    if (info) {
      BSTR d = nullptr;
      info->GetDescription(&d);
      CHECK(d != nullptr && SysStringLen(d) > 0);
      SysFreeString(d);
      info->Release();
    }
    ISupportErrorInfo* sei = nullptr;
    CHECK_EQ(sub->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&sei)), S_OK);
    if (sei) {
      CHECK_EQ(sei->InterfaceSupportsErrorInfo(IID__Sub), S_OK);
      sei->Release();
    }
    direct->Release();
  }
  sub->Release();
}

TEST_CASE(SupBindsSheetsByCodeName) {
  // Tabs named and ordered differently from the code names.
  auto state = NewEmptyState();
  state->book->AddSheet(u"Sheet3", u"Sheet1");
  auto main = state->book->AddSheet(u"Sheet1", u"Renamed");
  state->book->AddSheet(u"Sheet2", u"Other");
  main->PutValue(3, 12, Value(u"01,02,03"));
  main->PutValue(6, 12, Value(u"wrong row"));
  main->PutValue(9, 12, Value(u"09,10"));
  main->PutValue(5, 12, Value(12.0));
  main->PutValue(11, 12, Value::Error(2042));
  state->book->sheets()[0]->PutValue(3, 12, Value(u"settings sheet"));

  for (bool by_ref : {false, true}) {
    IDispatch* sub = RegisteredSub();
    if (!CHECK(sub != nullptr)) return;
    CHECK_EQ(Sup(sub, state, by_ref).hr, S_OK);
    // (command, clipboard text afterwards; empty = the command fails)
    const std::vector<std::pair<const wchar_t*, std::u16string>> cases = {
        {L"Copy1", u"01,02,03"}, {L"Copy4", u"09,10"}, {L"Copy3", u"12"}, {L"Copy2", u""}};
    for (const auto& [command, expected] : cases) {
      FillClipboard(u"earlier");
      const Outcome o = CallByName(sub, command);
      CHECK_MSG(o.hr == S_OK, Narrow(command) + " succeeds");
      CHECK(ClipboardText() == expected);
      CHECK_MSG(!ClipboardHasTestFormat(), "nothing earlier stays on the clipboard");
    }
    // An error value cannot be copied: the command fails, the clipboard stays.
    FillClipboard(u"earlier");
    const Outcome o = CallByName(sub, L"Copy6");
    CHECK_EQ(o.number(), 13);
    CHECK(ClipboardText() == u"earlier");
    sub->Release();
  }
}

TEST_CASE(UnboundSheetsAndHostRefusalsReachTheCaller) {
  IDispatch* sub = RegisteredSub();
  if (!CHECK(sub != nullptr)) return;
  // A sheet without the exact code name stays unbound.
  auto state = NewEmptyState();
  state->book->AddSheet(u"sheet1", u"Sheet1")->PutValue(3, 12, Value(u"1"));
  CHECK_EQ(Sup(sub, state).hr, S_OK);
  CHECK_EQ(CallByName(sub, L"Copy1").number(), 91);
  // Sup with Nothing fails as an empty object reference.
  CHECK_EQ(CallByName(sub, L"Sup", {ByValue(nullptr), ByValue(nullptr)}).number(), 91);
  state = NewTemplateState();
  CHECK_EQ(Sup(sub, state).hr, S_OK);
  state->refuse_value_reads = true;
  const Outcome o = CallByName(sub, L"Copy1");
  CHECK(o.hr == DISP_E_EXCEPTION && o.number() == 1004);
  CHECK(o.description == L"Unable to get the Value property");
  sub->Release();
}

TEST_CASE(SupSetsTheShortDateFormat) {
  const wchar_t* key = L"Control Panel\\International";
  RegSetKeyValueW(HKEY_CURRENT_USER, key, L"sShortDate", REG_SZ, L"M/d/yyyy", 18);
  IDispatch* sub = RegisteredSub();
  if (!CHECK(sub != nullptr)) return;
  CHECK_EQ(Sup(sub, NewTemplateState()).hr, S_OK);
  CHECK(KeyValue(HKEY_CURRENT_USER, key, L"sShortDate") == L"dd/MM/yyyy");
  sub->Release();
}

TEST_CASE(DestroyingAnInstanceReleasesTheWorkbookOnce) {
  const long fakes_before = FakeObjectsAlive();
  auto state = NewTemplateState();
  state->book->SheetByCodeName(u"Sheet1")->PutValue(3, 12, Value(u"5"));
  auto drag_puts = [&] {
    int n = 0;
    for (const auto& e : state->app->property_log()) n += e == "CellDragAndDrop=true" ? 1 : 0;
    return n;
  };
  // Created and destroyed without Sup: the host is not touched.
  IDispatch* idle = RegisteredSub();
  if (!CHECK(idle != nullptr)) return;
  idle->Release();
  CHECK_EQ(drag_puts(), 0);

  IDispatch* first = RegisteredSub();
  IDispatch* second = RegisteredSub();
  if (!CHECK(first != nullptr && second != nullptr)) return;
  CHECK_EQ(Sup(first, state).hr, S_OK);
  // The binding is shared by every instance of the thread.
  CHECK_EQ(CallByName(second, L"Copy1").hr, S_OK);
  CHECK_EQ(CallExport("DllCanUnloadNow"), S_FALSE);
  second->Release();
  CHECK_EQ(drag_puts(), 1);
  CHECK_EQ(CallByName(first, L"Copy1").number(), 91);
  first->Release();
  CHECK_EQ(drag_puts(), 1);
  // Every Excel reference the component took has been given back.
  state.reset();
  CHECK_EQ(FakeObjectsAlive(), fakes_before);
  CoFreeUnusedLibraries();
  CHECK_EQ(CallExport("DllCanUnloadNow"), S_OK);
}

std::string RunCommand(IDispatch* sub, const wchar_t* name) {
  const Outcome o = CallByName(sub, name);
  std::string line = Narrow(name) + ": ";
  if (o.hr == S_OK) return line + "ok\n";
  if (o.hr != DISP_E_EXCEPTION) return line + "hresult " + std::to_string(o.hr) + "\n";
  return line + "error " + std::to_string(o.number()) + " " + Narrow(o.description) + "\n";
}

// Each scenario of the native reference run, repeated through Kelvora.dll:
// the same outcomes, the same clipboard text and the same cells.
TEST_CASE(CommandsMatchTheNativeEngine) {
  const std::string dir = Env().reference_dir;
  for (const Scenario& scenario : Scenarios()) {
    Stats().current_test = std::string("CommandsMatchTheNativeEngine/") + scenario.name;
    bool ok_expected = false, ok_grid = false, ok_clip = false;
    const std::string base = dir + "/" + scenario.name;
    const std::string expected =
        ReadFile(dir + "/expected-" + scenario.name + ".txt", &ok_expected);
    const std::string grid = ReadFile(base + ".grid", &ok_grid);
    const std::string clip = ReadFile(base + ".clip", &ok_clip);
    if (!CHECK_MSG(ok_expected && ok_grid && ok_clip, "reference files in " + dir)) continue;
    auto state = NewTemplateState();
    state->paste_grid = DecodeGrid(grid);
    IDispatch* sub = RegisteredSub();
    if (!CHECK(sub != nullptr)) return;
    std::string actual = Sup(sub, state).hr == S_OK ? "Sup: ok\n" : "Sup: failed\n";
    FillClipboard(Utf8ToUtf16(clip));
    for (const char* c : scenario.commands) {
      actual += RunCommand(sub, std::wstring(c, c + strlen(c)).c_str());
    }
    sub->Release();
    actual += "clipboard: " + EscapeText(ClipboardText()) + "\n";
    actual += DumpWorkbook(*state->book);
    const std::string outcomes = expected.substr(0, expected.find("clipboard: "));
    std::printf("  %s, native run: %s", scenario.name, outcomes.c_str());
    if (!CHECK_MSG(actual == expected, std::string(scenario.name) + ": same as the native run")) {
      const std::string file =
          dir + "/actual-" + scenario.name + "-" + std::to_string(sizeof(void*) * 8) + ".txt";
      std::ofstream(file, std::ios::binary) << actual;
      size_t i = 0;
      while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
      const size_t nl = actual.rfind('\n', i);
      const size_t start = nl == std::string::npos ? 0 : nl + 1;
      std::printf("  first difference: '%s' (all in %s)\n", actual.substr(start, 120).c_str(),
                  file.c_str());
    }
  }
}

// Last: nothing of the registration stays behind.
TEST_CASE(UnregistrationLeavesNoKey) {
  CHECK_EQ(CallExport("DllUnregisterServer"), S_OK);
  CHECK_EQ(Install(FALSE, L"user"), S_OK);
  CHECK_EQ(KeysPresent(HKEY_LOCAL_MACHINE), 0);
  CHECK_EQ(KeysPresent(HKEY_CURRENT_USER), 0);
  CLSID found{};
  CHECK(FAILED(CLSIDFromProgID(L"Kelvora.Sub", &found)));
}

}  // namespace
}  // namespace kelvora::testing
