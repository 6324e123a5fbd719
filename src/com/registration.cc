#include "registration.h"

#include <oleauto.h>
#include <olectl.h>

#include "Kelvora_h.h"
#include "connect_object.h"
#include "module.h"

namespace kelvora::com {

namespace {

constexpr const wchar_t* kProgId = L"Kelvora.Sub";
// The add-in's class names: the one of this version and the one Office looks
// up, which names the current version.
constexpr const wchar_t* kConnectProgId = L"Kelvora.Connect.1";
constexpr const wchar_t* kConnectIndependentProgId = L"Kelvora.Connect";
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

bool Is32BitOn64BitWindows() {
#ifdef _WIN64
  return false;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

// The keys of one scope: Software\Classes of the machine or of the user.
//
// Machine-wide, every key is reached in this program's own view, and the
// system puts the class of each bitness in its view. Per user, every key is
// reached in the 64-bit view by the path Windows gives it: the class of the
// 32-bit server on 64-bit Windows lies under Wow6432Node\CLSID, everything
// else is shared by both bitnesses. Windows redirects a 32-bit program's
// per-user classes there by itself; Wine 8 redirects none, or all of
// Software\Classes once a Wow6432Node exists below it.
class ClassesKeys {
 public:
  explicit ClassesKeys(Scope scope)
      : root_(scope == Scope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER),
        user_(scope == Scope::kUser),
        view_(user_ ? KEY_WOW64_64KEY : 0) {}

  // The path of `key` (relative to Software\Classes) of this server.
  std::wstring Path(const std::wstring& key) const {
    const bool moved = user_ && Is32BitOn64BitWindows() && key.rfind(L"CLSID\\", 0) == 0;
    return L"Software\\Classes\\" + std::wstring(moved ? L"Wow6432Node\\" : L"") + key;
  }

  // Whether the class key of the server of the other bitness exists.
  bool OtherClassExists(const std::wstring& clsid) const {
    if (!user_) return Exists(Path(L"CLSID\\" + clsid), kOtherView);
#ifdef _WIN64
    return Exists(L"Software\\Classes\\Wow6432Node\\CLSID\\" + clsid, view_);
#else
    // On 32-bit Windows the path is this server's own, gone by now.
    return Exists(L"Software\\Classes\\CLSID\\" + clsid, view_);
#endif
  }

  LONG Create(const std::wstring& path, HKEY* key) const {
    return RegCreateKeyExW(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_WRITE | view_, nullptr, key, nullptr);
  }

  bool Exists(const std::wstring& path) const { return Exists(path, view_); }

  bool IsEmpty(const std::wstring& path) const {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ | view_, &h) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    const LONG r = RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                    &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(h);
    return r == ERROR_SUCCESS && subkeys == 0 && values == 0;
  }

  // Removes the key at `path` with everything below it; a key already
  // absent is no error.
  LONG DeleteTree(const std::wstring& path) const { return DeleteTree(path, view_); }

  // The same in both views: for a key that Windows shares between them and
  // Wine may keep apart.
  LONG DeleteTreeInBothViews(const std::wstring& path) const {
    const LONG r = DeleteTree(path, view_);
    const LONG other = DeleteTree(path, user_ ? KEY_WOW64_32KEY : kOtherView);
    return r != ERROR_SUCCESS ? r : other;
  }

  // Removes the key at `path` when it is empty.
  void DeleteIfEmpty(const std::wstring& path) const {
    if (IsEmpty(path)) RegDeleteKeyExW(root_, path.c_str(), view_, 0);
  }

 private:
  bool Exists(const std::wstring& path, REGSAM view) const {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
  }

  LONG DeleteTree(const std::wstring& path, REGSAM view) const {
    HKEY h = nullptr;
    LONG r = RegOpenKeyExW(root_, path.c_str(), 0, KEY_ALL_ACCESS | view, &h);
    if (r == ERROR_SUCCESS) {
      r = RegDeleteTreeW(h, nullptr);
      RegCloseKey(h);
      if (r == ERROR_SUCCESS) r = RegDeleteKeyExW(root_, path.c_str(), view, 0);
    }
    return r == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : r;
  }

  HKEY root_;
  bool user_;
  REGSAM view_;
};

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
  const std::wstring connect = GuidText(kClsidConnect);
  const std::wstring a = L"CLSID\\" + connect;
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
      {a, {{L"", L"Kelvora.Connect"}}},
      {a + L"\\InprocServer32", {{L"", module_path}, {L"ThreadingModel", L"Apartment"}}},
      {a + L"\\ProgID", {{L"", kConnectProgId}}},
      {a + L"\\VersionIndependentProgID", {{L"", kConnectIndependentProgId}}},
      {kConnectProgId, {{L"", L"Kelvora.Connect"}}},
      {std::wstring(kConnectProgId) + L"\\CLSID", {{L"", connect}}},
      {kConnectIndependentProgId, {{L"", L"Kelvora.Connect"}}},
      {std::wstring(kConnectIndependentProgId) + L"\\CLSID", {{L"", connect}}},
      {std::wstring(kConnectIndependentProgId) + L"\\CurVer", {{L"", kConnectProgId}}},
  };
}

HRESULT Register(Scope scope, const std::wstring& module_path) {
  if (module_path.empty()) return SELFREG_E_CLASS;
  // The type library must load from the DLL before anything points at it.
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(module_path.c_str(), REGKIND_NONE, &lib);
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  lib->Release();

  const ClassesKeys keys(scope);
  for (const RegistryEntry& e : RegistrationEntries(module_path)) {
    HKEY h = nullptr;
    LONG r = keys.Create(keys.Path(e.key), &h);
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
  const ClassesKeys keys(scope);
  const std::wstring clsid = GuidText(CLSID_Sub);
  const std::wstring libid = GuidText(LIBID_Kelvora);
  const std::wstring iid = GuidText(IID__Sub);
  LONG first_error = ERROR_SUCCESS;
  auto note = [&](LONG r) {
    if (r != ERROR_SUCCESS && first_error == ERROR_SUCCESS) first_error = r;
  };

  // The class names are shared by both bitnesses: they go with the last
  // class.
  note(keys.DeleteTree(keys.Path(L"CLSID\\" + clsid)));
  if (!keys.OtherClassExists(clsid)) note(keys.DeleteTree(keys.Path(kProgId)));
  const std::wstring connect = GuidText(kClsidConnect);
  note(keys.DeleteTree(keys.Path(L"CLSID\\" + connect)));
  if (!keys.OtherClassExists(connect)) {
    note(keys.DeleteTree(keys.Path(kConnectProgId)));
    note(keys.DeleteTree(keys.Path(kConnectIndependentProgId)));
  }

  const std::wstring lib = keys.Path(L"TypeLib\\" + libid);
  const std::wstring version = lib + L"\\1.0";
  note(keys.DeleteTree(version + L"\\0\\" + kPlatform));
  keys.DeleteIfEmpty(version + L"\\0");
  if (!keys.Exists(version + L"\\0")) {
    note(keys.DeleteTree(version));
    keys.DeleteIfEmpty(lib);
  }
  // The interface goes with the last type library. Windows shares its key
  // between the views; Wine keeps one per view, machine-wide.
  if (!keys.Exists(lib)) note(keys.DeleteTreeInBothViews(keys.Path(L"Interface\\" + iid)));
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
