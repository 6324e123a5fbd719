// What the test program is told on its command line, and helpers shared by
// its test files.
#pragma once

#include <memory>
#include <string>

#include "fake_excel.h"

namespace kelvora::testing {

struct TestEnv {
  std::wstring dll_path;      // Kelvora.dll, as a Windows path
  std::string reference_dir;  // the native reference run's files (may be empty)
};

TestEnv& Env();

// A fake Excel over a workbook without sheets, or over the built-in template.
std::shared_ptr<FakeExcelState> NewEmptyState();
std::shared_ptr<FakeExcelState> NewTemplateState();

std::string ReadFile(const std::string& path, bool* ok);

}  // namespace kelvora::testing
