// Module-wide bookkeeping of Kelvora.dll: the module handle and the counts
// that decide whether the library may be unloaded.
#pragma once

#include <windows.h>

#include <atomic>

namespace kelvora::com {

// Set by DllMain on attach.
extern HINSTANCE g_module;
// Live objects (Sub and Connect) and outstanding locks (IClassFactory::LockServer and
// references to the class object). The library may unload when both are 0.
extern std::atomic<long> g_objects;
extern std::atomic<long> g_locks;

// Full path of this DLL (for the registry and the type library).
std::wstring ModulePath();

}  // namespace kelvora::com
