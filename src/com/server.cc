// The in-process server's entry points for class lookup and unloading, and
// the class objects of Sub and Connect.
#include <windows.h>

#include <oleauto.h>
#undef MessageBox

#include <atomic>
#include <string>

#include "Kelvora_h.h"
#include "connect_object.h"
#include "module.h"
#include "sub_object.h"

namespace kelvora::com {

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

namespace {

// The class object of a class whose objects `create` makes.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(HRESULT (*create)(REFIID, void**)) : create_(create) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The class object is static; its references keep the module loaded.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++g_locks); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--g_locks); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create_(riid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
    } else {
      --g_locks;
    }
    return S_OK;
  }

 private:
  HRESULT (*create_)(REFIID, void**);
};

ClassFactory g_sub_factory(&SubObject::Create);
ClassFactory g_connect_factory(&ConnectObject::Create);

}  // namespace
}  // namespace kelvora::com

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    kelvora::com::g_module = instance;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid == CLSID_Sub) return kelvora::com::g_sub_factory.QueryInterface(riid, out);
  if (clsid == kelvora::com::kClsidConnect) {
    return kelvora::com::g_connect_factory.QueryInterface(riid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  return kelvora::com::g_objects == 0 && kelvora::com::g_locks == 0 ? S_OK : S_FALSE;
}

}  // extern "C"
