// What main is told, and helpers the test files share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "book/workbook_template.h"
#include "fake_excel.h"
#include "scenarios.h"
#include "text/utf.h"

namespace kelvora::testing {

inline struct TestEnv {
  std::wstring dll_path;      // Kelvora.dll, as a Windows path
  std::string reference_dir;  // the native reference run's files
} g_env;

inline std::string Narrow(const std::wstring& w) {
  return Utf16ToUtf8(std::u16string(w.begin(), w.end()));
}

inline std::shared_ptr<FakeExcelState> NewTemplateState() {
  auto s = std::make_shared<FakeExcelState>();
  FillTemplateWorkbook(*s->book);
  return s;
}

inline HMODULE Dll() {
  static HMODULE dll = LoadLibraryW(g_env.dll_path.c_str());
  return dll;
}

// Calls an export of the DLL; E_NOTIMPL when there is none.
inline HRESULT CallExport(const char* name) {
  const auto f = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(Dll(), name)));
  return f == nullptr ? E_NOTIMPL : f();
}

// While an ImportPatch lives, the DLL calls `to` for `name` of `module`.
class ImportPatch {
 public:
  template <typename F>
  ImportPatch(const wchar_t* module, const char* name, F* to)
      : real_(GetProcAddress(GetModuleHandleW(module), name)),
        to_(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(to))) {
    EXPECT_TRUE(Patch(real_, to_)) << name;
  }
  ~ImportPatch() { EXPECT_TRUE(Patch(to_, real_)); }
  ImportPatch(const ImportPatch&) = delete;

 private:
  // Puts `to` where the DLL finds `from`; false when it is not there.
  static bool Patch(FARPROC from, FARPROC to) {
    auto* base = reinterpret_cast<BYTE*>(Dll());
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& iat = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    auto* slots = reinterpret_cast<FARPROC*>(base + iat.VirtualAddress);
    for (size_t i = 0; i < iat.Size / sizeof(FARPROC); ++i) {
      DWORD was = 0;
      if (slots[i] != from || !VirtualProtect(&slots[i], sizeof from, PAGE_READWRITE, &was))
        continue;
      slots[i] = to;
      return VirtualProtect(&slots[i], sizeof from, was, &was);
    }
    return false;
  }
  const FARPROC real_, to_;
};

inline std::u16string ClipboardText() {
  std::u16string out = u"<none>";
  if (!OpenClipboard(nullptr)) return u"<busy>";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    out = static_cast<const char16_t*>(GlobalLock(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return out;
}

inline const UINT kTestFormat = RegisterClipboardFormatW(L"KelvoraTestFormat");

// Puts `text` and a private format on the clipboard.
inline void FillClipboard(const std::u16string& text) {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  for (const auto& [format, bytes] :
       {std::pair<UINT, size_t>{CF_UNICODETEXT, (text.size() + 1) * 2},
        std::pair{kTestFormat, size_t{4}}}) {
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(g), text.c_str(), std::min(bytes, (text.size() + 1) * 2));
    GlobalUnlock(g);
    SetClipboardData(format, g);
  }
  CloseClipboard();
}

struct Outcome {
  HRESULT hr = S_OK;
  SCODE scode = 0;
  std::wstring description;
  int32_t number() const { return hr == DISP_E_EXCEPTION ? HRESULT_CODE(scode) : 0; }
};

// `excep` starts as given: a caller need not clear it.
// With `arg_names`, every argument is passed by the name at its place, in
// the order given (a caller puts the argument it names last first).
inline Outcome CallByName(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args = {},
                          EXCEPINFO excep = {}, std::vector<const wchar_t*> arg_names = {}) {
  Outcome out;
  arg_names.insert(arg_names.begin(), name);
  std::vector<DISPID> ids(arg_names.size());
  out.hr = d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(arg_names.data()),
                            static_cast<UINT>(ids.size()), LOCALE_USER_DEFAULT, ids.data());
  if (FAILED(out.hr)) return out;
  const UINT named = static_cast<UINT>(ids.size() - 1);
  if (named == 0) std::reverse(args.begin(), args.end());
  DISPPARAMS params{args.data(), ids.data() + 1, static_cast<UINT>(args.size()), named};
  VARIANT result{};
  out.hr = d->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                     &excep, nullptr);
  VariantClear(&result);
  if (out.hr != DISP_E_EXCEPTION) return out;
  out.scode = excep.scode;
  if (excep.bstrDescription) out.description = excep.bstrDescription;
  for (BSTR b : {excep.bstrDescription, excep.bstrSource, excep.bstrHelpFile}) SysFreeString(b);
  return out;
}

template <typename T = IDispatch>
T* Create(const wchar_t* prog_id, REFIID iid = IID_IDispatch) {
  CLSID clsid{};
  T* p = nullptr;
  if (SUCCEEDED(CLSIDFromProgID(prog_id, &clsid)))
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&p));
  return p;
}
inline IDispatch* CreateSub() { return Create(L"Kelvora.Sub"); }

// How a late-bound caller passes an object: an object expression by value,
// an object variable by reference, a Variant variable (VBA's Variant, every
// variable of a script) as a Variant by reference; or by value under its
// parameter's name, named out of order (Sup ThisWorkBook:=wb, ExcelApp:=app).
enum class Passed { kByValue, kByReference, kInVariant, kByName };

inline VARIANT Object(IDispatch** d, Passed passed = Passed::kByValue, VARIANT* holder = nullptr) {
  VARIANT v;
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = *d;
  if (passed == Passed::kByReference) {
    V_VT(&v) = VT_DISPATCH | VT_BYREF;
    V_DISPATCHREF(&v) = d;
  } else if (passed == Passed::kInVariant) {
    *holder = v;
    V_VT(&v) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&v) = holder;
  }
  return v;
}

inline Outcome Sup(IDispatch* sub, const std::shared_ptr<FakeExcelState>& state,
                   Passed passed = Passed::kByValue) {
  IDispatch *app = NewFakeApplication(state), *book = NewFakeWorkbook(state);
  VARIANT holders[2];
  std::vector<const wchar_t*> names;
  if (passed == Passed::kByName) names = {L"ExcelApp", L"ThisWorkBook"};
  const Outcome o = CallByName(
      sub, L"Sup", {Object(&app, passed, &holders[0]), Object(&book, passed, &holders[1])}, {},
      names);
  for (IDispatch* d : {app, book}) d->Release();
  return o;
}

// While a ShellWatch lives, the DLL's ShellExecuteW records the files it is
// asked to open and gives `answer` (above 32: success), starting nothing.
class ShellWatch {
 public:
  explicit ShellWatch(INT_PTR answer = 42) {
    opened.clear();
    answer_ = answer;
  }
  static inline std::vector<std::wstring> opened;

 private:
  static HINSTANCE WINAPI Open(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
    EXPECT_STREQ(verb, L"open");
    opened.push_back(file);
    return reinterpret_cast<HINSTANCE>(answer_);
  }
  static inline INT_PTR answer_ = 42;
  const ImportPatch patch_{L"shell32.dll", "ShellExecuteW", &Open};
};

// A window of the calling thread that is never shown.
inline HWND MessageWindow() {
  return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

}  // namespace kelvora::testing
