#include "registration.h"

#include <oleauto.h>
#include <olectl.h>

#include "Kelvora_h.h"
#include "module.h"

namespace kelvora::com {

namespace {

constexpr const wchar_t* kProgId = L"Kelvora.Sub";
// The standard marshaller of automation (dual) interfaces.
constexpr const wchar_t* kPSOAInterface = L"{00020424-0000-0000-C000-000000000046}";

#ifdef _WIN64
constexpr const wchar_t* kPlatform = L"win64";
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr const wchar_t* kPlatform = L"win32";
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

std::wstring GuidText(REFGUID g) {
  wchar_t buf[40] = {};
  StringFromGUID2(g, buf, 40);
  return buf;
}

HKEY Root(Scope scope) { return scope == Scope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

std::wstring Classes(const std::wstring& key) { return L"Software\\Classes\\" + key; }

bool KeyExists(HKEY root, const std::wstring& key, REGSAM extra = 0) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | extra, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

bool KeyIsEmpty(HKEY root, const std::wstring& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0, values = 0;
  const LONG r = RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                  nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(h);
  return r == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

LONG DeleteTree(HKEY root, const std::wstring& key) {
  const LONG r = RegDeleteTreeW(root, key.c_str());
  if (r == ERROR_SUCCESS) RegDeleteKeyW(root, key.c_str());
  return r == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : r;
}

}  // namespace

std::vector<RegistryEntry> RegistrationEntries(const std::wstring& module_path) {
  const std::wstring clsid = GuidText(CLSID_Sub);
  const std::wstring libid = GuidText(LIBID_Kelvora);
  const std::wstring iid = GuidText(IID__Sub);
  std::wstring dir = module_path;
  const size_t slash = dir.find_last_of(L"\\/");
  dir = slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash);
  const std::wstring c = L"CLSID\\" + clsid;
  const std::wstring t = L"TypeLib\\" + libid + L"\\1.0";
  const std::wstring i = L"Interface\\" + iid;
  return {
      {c, {{L"", L"Kelvora.Sub"}}},
      {c + L"\\InprocServer32", {{L"", module_path}, {L"ThreadingModel", L"Apartment"}}},
      {c + L"\\ProgID", {{L"", kProgId}}},
      {c + L"\\TypeLib", {{L"", libid}}},
      {c + L"\\Version", {{L"", L"1.0"}}},
      {kProgId, {{L"", L"Kelvora.Sub"}}},
      {std::wstring(kProgId) + L"\\CLSID", {{L"", clsid}}},
      {t, {{L"", L"Kelvora"}}},
      {t + L"\\0\\" + kPlatform, {{L"", module_path}}},
      {t + L"\\FLAGS", {{L"", L"0"}}},
      {t + L"\\HELPDIR", {{L"", dir}}},
      {i, {{L"", L"_Sub"}}},
      {i + L"\\ProxyStubClsid", {{L"", kPSOAInterface}}},
      {i + L"\\ProxyStubClsid32", {{L"", kPSOAInterface}}},
      {i + L"\\TypeLib", {{L"", libid}, {L"Version", L"1.0"}}},
  };
}

HRESULT Register(Scope scope, const std::wstring& module_path) {
  if (module_path.empty()) return SELFREG_E_CLASS;
  // The type library must load from the DLL before anything points at it.
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(module_path.c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  lib->Release();

  const HKEY root = Root(scope);
  for (const RegistryEntry& e : RegistrationEntries(module_path)) {
    HKEY h = nullptr;
    LONG r = RegCreateKeyExW(root, Classes(e.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_WRITE, nullptr, &h, nullptr);
    for (size_t k = 0; r == ERROR_SUCCESS && k < e.values.size(); ++k) {
      const std::wstring& name = e.values[k].first;
      const std::wstring& data = e.values[k].second;
      r = RegSetValueExW(h, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    if (h != nullptr) RegCloseKey(h);
    if (r != ERROR_SUCCESS) {
      Unregister(scope);
      return HRESULT_FROM_WIN32(static_cast<DWORD>(r));
    }
  }
  return S_OK;
}

HRESULT Unregister(Scope scope) {
  const HKEY root = Root(scope);
  const std::wstring clsid = GuidText(CLSID_Sub);
  const std::wstring libid = GuidText(LIBID_Kelvora);
  const std::wstring iid = GuidText(IID__Sub);
  LONG first_error = ERROR_SUCCESS;
  auto note = [&](LONG r) {
    if (r != ERROR_SUCCESS && first_error == ERROR_SUCCESS) first_error = r;
  };

  note(DeleteTree(root, Classes(L"CLSID\\" + clsid)));
  // The class name is shared by both bitnesses: it goes with the last class.
  if (!KeyExists(root, Classes(L"CLSID\\" + clsid), kOtherView)) {
    note(DeleteTree(root, Classes(kProgId)));
  }

  const std::wstring lib = Classes(L"TypeLib\\" + libid);
  const std::wstring version = lib + L"\\1.0";
  note(DeleteTree(root, version + L"\\0\\" + kPlatform));
  if (KeyIsEmpty(root, version + L"\\0")) RegDeleteKeyW(root, (version + L"\\0").c_str());
  if (!KeyExists(root, version + L"\\0")) {
    note(DeleteTree(root, version));
    if (KeyIsEmpty(root, lib)) RegDeleteKeyW(root, lib.c_str());
  }
  if (!KeyExists(root, lib)) note(DeleteTree(root, Classes(L"Interface\\" + iid)));
  return first_error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(first_error));
}

}  // namespace kelvora::com

extern "C" {

STDAPI DllRegisterServer() {
  try {
    return kelvora::com::Register(kelvora::com::Scope::kMachine, kelvora::com::ModulePath());
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return kelvora::com::Unregister(kelvora::com::Scope::kMachine);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// regsvr32 /n /i:user registers for the current user alone; /u /n /i:user
// removes that registration. Without a command line (or with "machine") it
// acts machine-wide like DllRegisterServer.
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
  using kelvora::com::Scope;
  Scope scope = Scope::kMachine;
  if (command_line != nullptr && command_line[0] != L'\0') {
    if (lstrcmpiW(command_line, L"user") == 0) {
      scope = Scope::kUser;
    } else if (lstrcmpiW(command_line, L"machine") != 0) {
      return E_INVALIDARG;
    }
  }
  try {
    if (install) return kelvora::com::Register(scope, kelvora::com::ModulePath());
    return kelvora::com::Unregister(scope);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // extern "C"
