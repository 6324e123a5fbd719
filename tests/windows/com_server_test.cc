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

#include "Kelvora_h.h"
#include "cell_text.h"
#include "check.h"
#include "entry/sub.h"
#include "scenarios.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

using host::Value;

HMODULE Dll() {
  static HMODULE module = LoadLibraryW(Env().dll_path.c_str());
  return module;
}

FARPROC Export(const char* name) { return GetProcAddress(Dll(), name); }

HRESULT CallExport(const char* name) {
  auto f = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(Export(name)));
  return f == nullptr ? E_NOTIMPL : f();
}

HRESULT Install(BOOL install, const wchar_t* command_line) {
  auto f = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>(
      reinterpret_cast<void*>(Export("DllInstall")));
  return f == nullptr ? E_NOTIMPL : f(install, command_line);
}

std::wstring GuidText(REFGUID g) {
  wchar_t buf[40] = {};
  StringFromGUID2(g, buf, 40);
  return buf;
}

std::wstring KeyValue(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof buf;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buf;
}

// How many of the keys a registration writes under one root exist.
int KeysPresent(HKEY root) {
  int n = 0;
  for (const std::wstring& k :
       {L"CLSID\\" + GuidText(CLSID_Sub), std::wstring(L"Kelvora.Sub"),
        L"TypeLib\\" + GuidText(LIBID_Kelvora), L"Interface\\" + GuidText(IID__Sub)}) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, (L"Software\\Classes\\" + k).c_str(), 0, KEY_READ, &h) == 0) {
      RegCloseKey(h);
      ++n;
    }
  }
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

void FreeExcepInfo(EXCEPINFO& e) {
  SysFreeString(e.bstrDescription);
  SysFreeString(e.bstrSource);
  SysFreeString(e.bstrHelpFile);
}

// `excep` starts as given: a caller need not clear it.
Outcome CallByName(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args = {},
                   EXCEPINFO excep = {}) {
  Outcome out;
  DISPID id = 0;
  LPOLESTR n = const_cast<LPOLESTR>(name);
  out.hr = d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(out.hr)) return out;
  std::reverse(args.begin(), args.end());
  DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  VARIANT result;
  VariantInit(&result);
  out.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &excep,
                     nullptr);
  VariantClear(&result);
  if (out.hr != DISP_E_EXCEPTION) return out;
  out.scode = excep.scode;
  if (excep.bstrDescription) out.description = excep.bstrDescription;
  FreeExcepInfo(excep);
  return out;
}

IDispatch* CreateSub() {
  CLSID clsid{};
  IDispatch* d = nullptr;
  if (FAILED(CLSIDFromProgID(L"Kelvora.Sub", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&d)))) {
    return nullptr;
  }
  return d;
}

// Registers machine-wide once for the tests that need a registered server.
IDispatch* RegisteredSub() {
  static bool registered = SUCCEEDED(CallExport("DllRegisterServer"));
  return registered ? CreateSub() : nullptr;
}

VARIANT Object(IDispatch** d, bool by_ref) {
  VARIANT v;
  V_VT(&v) = by_ref ? VT_DISPATCH | VT_BYREF : VT_DISPATCH;
  if (by_ref) {
    V_DISPATCHREF(&v) = d;
  } else {
    V_DISPATCH(&v) = *d;
  }
  return v;
}

// Calls Sup with the fake application and workbook of `state`, passed as a
// late-bound macro passes object expressions (by value) or variables (by
// reference).
Outcome Sup(IDispatch* sub, const std::shared_ptr<FakeExcelState>& state, bool by_ref = false) {
  IDispatch* app = NewFakeApplication(state);
  IDispatch* book = NewFakeWorkbook(state);
  const Outcome o = CallByName(sub, L"Sup", {Object(&app, by_ref), Object(&book, by_ref)});
  app->Release();
  book->Release();
  return o;
}

std::u16string ClipboardText() {
  std::u16string out = u"<none>";
  if (!OpenClipboard(nullptr)) return u"<busy>";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    out = static_cast<const char16_t*>(GlobalLock(h));
    GlobalUnlock(h);
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
  for (const auto& [format, bytes] :
       {std::pair<UINT, size_t>{CF_UNICODETEXT, (text.size() + 1) * 2},
        std::pair{TestFormat(), size_t{4}}}) {
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(g), text.c_str(), std::min(bytes, (text.size() + 1) * 2));
    GlobalUnlock(g);
    SetClipboardData(format, g);
  }
  CloseClipboard();
}

TEST_CASE(RegistrationMachineWideAndPerUser) {
  CallExport("DllUnregisterServer");
  Install(FALSE, L"user");
  CHECK_EQ(KeysPresent(HKEY_LOCAL_MACHINE) + KeysPresent(HKEY_CURRENT_USER), 0);
  const std::wstring clsid_key =
      L"Software\\Classes\\CLSID\\" + GuidText(CLSID_Sub) + L"\\InprocServer32";
  const std::wstring typelib_key = L"Software\\Classes\\TypeLib\\" + GuidText(LIBID_Kelvora) +
                                   (sizeof(void*) == 8 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32");
  const std::vector<std::tuple<HKEY, HKEY, std::function<HRESULT(BOOL)>>> cases = {
      {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
       [](BOOL on) { return CallExport(on ? "DllRegisterServer" : "DllUnregisterServer"); }},
      {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, [](BOOL on) { return Install(on, L"user"); }},
  };
  for (const auto& [root, other, reg] : cases) {
    Stats().current_test = root == HKEY_CURRENT_USER ? "Registration/user" : "Registration/machine";
    // Registering twice changes nothing.
    for (int i = 0; i < 2; ++i) {
      CHECK_EQ(reg(TRUE), S_OK);
      CHECK_EQ(KeysPresent(root), 4);
    }
    CHECK_EQ(KeysPresent(other), 0);
    CHECK(KeyValue(root, clsid_key, nullptr) == Env().dll_path);
    CHECK(KeyValue(root, clsid_key, L"ThreadingModel") == L"Apartment");
    CHECK(KeyValue(root, L"Software\\Classes\\Kelvora.Sub\\CLSID", nullptr) == GuidText(CLSID_Sub));
    CHECK(KeyValue(root, typelib_key, nullptr) == Env().dll_path);
    // Wine's class lookup reads the machine-wide classes only, so creation
    // after a per-user registration can be checked on Windows alone.
    if (root == HKEY_LOCAL_MACHINE) {
      IDispatch* d = CreateSub();
      CHECK(d != nullptr);
      if (d) d->Release();
    }
    // Unregistering what is not registered is no error.
    for (int i = 0; i < 2; ++i) CHECK_EQ(reg(FALSE), S_OK);
    CHECK_EQ(KeysPresent(root), 0);
  }
  CHECK_EQ(Install(TRUE, L"everyone"), E_INVALIDARG);
  CHECK_EQ(KeysPresent(HKEY_LOCAL_MACHINE) + KeysPresent(HKEY_CURRENT_USER), 0);
}

TEST_CASE(TypeLibraryVersionAndExports) {
  for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                           "DllUnregisterServer", "DllInstall"}) {
    CHECK_MSG(Export(name) != nullptr, std::string("export ") + name);
  }
  ITypeLib* lib = nullptr;
  CHECK_EQ(LoadTypeLibEx(Env().dll_path.c_str(), REGKIND_NONE, &lib), S_OK);
  if (lib == nullptr) return;
  BSTR name = nullptr;
  lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  CHECK(name != nullptr && std::wstring(name) == L"Kelvora");
  SysFreeString(name);
  ITypeInfo* coclass = nullptr;
  CHECK_EQ(lib->GetTypeInfoOfGuid(CLSID_Sub, &coclass), S_OK);
  if (coclass) coclass->Release();
  // The vtable side of the dual interface: the twelve methods in order,
  // right after IDispatch's seven.
  ITypeInfo* disp = nullptr;
  ITypeInfo* vtbl = nullptr;
  HREFTYPE ref = 0;
  CHECK_EQ(lib->GetTypeInfoOfGuid(IID__Sub, &disp), S_OK);
  if (disp && SUCCEEDED(disp->GetRefTypeOfImplType(-1, &ref))) disp->GetRefTypeInfo(ref, &vtbl);
  if (CHECK(vtbl != nullptr)) {
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

  const DWORD size = GetFileVersionInfoSizeW(Env().dll_path.c_str(), nullptr);
  std::vector<char> data(size);
  CHECK(size > 0 && GetFileVersionInfoW(Env().dll_path.c_str(), 0, size, data.data()));
  const std::pair<const wchar_t*, const wchar_t*> strings[] = {{L"ProductName", L"Kelvora"},
                                                               {L"InternalName", L"Kelvora"},
                                                               {L"FileVersion", L"1.00"},
                                                               {L"ProductVersion", L"1.00"},
                                                               {L"OLESelfRegister", L""}};
  for (const auto& [key, expected] : strings) {
    void* value = nullptr;
    UINT len = 0;
    const bool found =
        size > 0 &&
        VerQueryValueW(data.data(), (L"\\StringFileInfo\\000004b0\\" + std::wstring(key)).c_str(),
                       &value, &len);
    CHECK_MSG(found && std::wstring(static_cast<const wchar_t*>(value)) == expected,
              "version string " + Narrow(key));
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  CHECK(size > 0 && VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) &&
        fixed->dwFileVersionMS == 0x00010000ul && fixed->dwProductVersionMS == 0x00010000ul);
}

TEST_CASE(EveryMethodIsCallableByName) {
  IDispatch* sub = RegisteredSub();
  if (!CHECK(sub != nullptr)) return;
  std::vector<DISPID> ids;
  for (std::string_view n : Sub::kMethodNames) {
    // Names bind without regard to case, as macro code calls them.
    std::wstring w(n.begin(), n.end());
    for (auto& ch : w) ch = static_cast<wchar_t>(towlower(ch));
    LPOLESTR p = w.data();
    DISPID id = DISPID_UNKNOWN;
    CHECK_EQ(sub->GetIDsOfNames(IID_NULL, &p, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  CHECK(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
  CHECK_EQ(CallByName(sub, L"Copy7").hr, DISP_E_UNKNOWNNAME);
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
    CHECK_MSG(o.hr == DISP_E_EXCEPTION && HRESULT_FACILITY(o.scode) == FACILITY_CONTROL,
              label + " fails as an automation error with its number");
    CHECK_MSG(number == 0 || o.number() == number, label + " number " + std::to_string(o.number()));
    CHECK_MSG(!o.description.empty(), label + " has a description");
  }
  // An EXCEPINFO that the caller did not clear is filled, not freed.
  EXCEPINFO garbage;
  memset(&garbage, 0xCD, sizeof garbage);
  const Outcome o = CallByName(sub, L"Copy1", {}, garbage);
  CHECK(o.number() == 91 && !o.description.empty());
  sub->Release();
}

TEST_CASE(SupBindsSheetsByCodeName) {
  // Tabs named and ordered differently from the code names.
  auto state = NewEmptyState();
  state->book->AddSheet(u"Sheet3", u"Sheet1")->PutValue(3, 12, Value(u"settings sheet"));
  auto main = state->book->AddSheet(u"Sheet1", u"Renamed");
  state->book->AddSheet(u"Sheet2", u"Other");
  main->PutValue(3, 12, Value(u"01,02,03"));
  main->PutValue(6, 12, Value(u"wrong row"));
  main->PutValue(9, 12, Value(u"09,10"));
  main->PutValue(5, 12, Value(12.0));
  main->PutValue(11, 12, Value::Error(2042));
  // (command, clipboard text afterwards, error number); an error value
  // cannot be copied, so the clipboard stays.
  const std::tuple<const wchar_t*, std::u16string, int32_t> cases[] = {{L"Copy1", u"01,02,03", 0},
                                                                       {L"Copy4", u"09,10", 0},
                                                                       {L"Copy3", u"12", 0},
                                                                       {L"Copy2", u"", 0},
                                                                       {L"Copy6", u"earlier", 13}};
  for (bool by_ref : {false, true}) {
    IDispatch* sub = RegisteredSub();
    if (!CHECK(sub != nullptr)) return;
    CHECK_EQ(Sup(sub, state, by_ref).hr, S_OK);
    for (const auto& [command, expected, number] : cases) {
      FillClipboard(u"earlier");
      const Outcome o = CallByName(sub, command);
      CHECK_MSG(o.hr == (number ? DISP_E_EXCEPTION : S_OK) && o.number() == number,
                Narrow(command) + " outcome");
      CHECK_MSG(ClipboardText() == expected, Narrow(command) + " clipboard");
      CHECK_MSG(number != 0 || !IsClipboardFormatAvailable(TestFormat()),
                "nothing earlier stays on the clipboard");
    }
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
  IDispatch* nothing = nullptr;
  CHECK_EQ(CallByName(sub, L"Sup", {Object(&nothing, false), Object(&nothing, false)}).number(),
           91);
  state = NewTemplateState();
  CHECK_EQ(Sup(sub, state).hr, S_OK);
  state->refuse_value_reads = true;
  const Outcome o = CallByName(sub, L"Copy1");
  CHECK(o.number() == 1004 && o.description == L"Unable to get the Value property");
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
    const auto& log = state->app->property_log();
    return std::count(log.begin(), log.end(), "CellDragAndDrop=true");
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
      const Outcome o = CallByName(sub, std::wstring(c, c + strlen(c)).c_str());
      actual += std::string(c) + ": ";
      if (o.hr == S_OK) {
        actual += "ok\n";
      } else {
        actual += "error " + std::to_string(o.number()) + " " + Narrow(o.description) + "\n";
      }
    }
    sub->Release();
    actual += "clipboard: " + EscapeText(ClipboardText()) + "\n" + DumpWorkbook(*state->book);
    std::printf("  %s, native run: %s", scenario.name,
                expected.substr(0, expected.find("clipboard: ")).c_str());
    if (!CHECK_MSG(actual == expected, std::string(scenario.name) + ": same as the native run")) {
      const std::string file =
          dir + "/actual-" + scenario.name + "-" + std::to_string(sizeof(void*) * 8) + ".txt";
      std::ofstream(file, std::ios::binary) << actual;
      std::printf("  compare %s with its expected file\n", file.c_str());
    }
  }
}

// Last: nothing of the registration stays behind.
TEST_CASE(UnregistrationLeavesNoKey) {
  CHECK_EQ(CallExport("DllUnregisterServer"), S_OK);
  CHECK_EQ(Install(FALSE, L"user"), S_OK);
  CHECK_EQ(KeysPresent(HKEY_LOCAL_MACHINE) + KeysPresent(HKEY_CURRENT_USER), 0);
  CLSID found{};
  CHECK(FAILED(CLSIDFromProgID(L"Kelvora.Sub", &found)));
}

}  // namespace
}  // namespace kelvora::testing
