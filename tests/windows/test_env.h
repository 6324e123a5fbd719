// What the test program is told on its command line, and helpers shared by
// its test files.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "fake_excel.h"

namespace kelvora::testing {

struct TestEnv {
  std::wstring dll_path;      // Kelvora.dll, as a Windows path
  std::string reference_dir;  // the native reference run's files
};

TestEnv& Env();

// A fake Excel over the built-in template.
std::shared_ptr<FakeExcelState> NewTemplateState();

// A window of the calling thread that is never shown.
inline HWND MessageWindow() {
  return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// A whole file, or nothing when it cannot be read.
std::optional<std::string> ReadFile(const std::filesystem::path& path);

}  // namespace kelvora::testing
