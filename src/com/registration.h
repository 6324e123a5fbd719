// The registry entries of classes Sub and Connect and the type library, machine-wide
// (HKLM\Software\Classes) or for the current user (HKCU\Software\Classes).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kelvora::com {

enum class Scope { kMachine, kUser };

// One key this server writes, relative to the scope's Software\Classes, with
// its values (an empty name is the key's default value).
struct RegistryEntry {
  std::wstring key;
  std::vector<std::pair<std::wstring, std::wstring>> values;
};

// Every key and value of a registration of the DLL at `module_path`, parents
// before children.
std::vector<RegistryEntry> RegistrationEntries(const std::wstring& module_path);

// Writes the entries; on failure removes what it wrote and returns the error.
// Per user, every key is written in the 64-bit view where Windows keeps it:
// the class keys (CLSID\...) of the 32-bit server on 64-bit Windows under
// Software\Classes\Wow6432Node, every other key shared by both bitnesses.
HRESULT Register(Scope scope, const std::wstring& module_path);
// Removes every key Register writes. The type library's keys of the other
// bitness and the class name of a class still registered in the other
// registry view stay. Keys already absent are no error.
HRESULT Unregister(Scope scope);

}  // namespace kelvora::com
