// Drives Kelvora.dll and the Excel back end against the fake Excel. Usage:
//   kelvora_com_tests <path of Kelvora.dll> [<reference dir>]
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "check.h"
#include "entry/workbook_template.h"
#include "test_env.h"

namespace kelvora::testing {

TestEnv& Env() {
  static TestEnv env;
  return env;
}

std::shared_ptr<FakeExcelState> NewEmptyState() {
  auto s = std::make_shared<FakeExcelState>();
  s->app = std::make_shared<host::memory::MemoryApplication>();
  s->book = std::make_shared<host::memory::MemoryWorkbook>(s->app.get());
  return s;
}

std::shared_ptr<FakeExcelState> NewTemplateState() {
  auto s = NewEmptyState();
  FillTemplateWorkbook(*s->book);
  return s;
}

std::string ReadFile(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace kelvora::testing

int wmain(int argc, wchar_t** argv) {
  using namespace kelvora::testing;
  if (argc < 2 || FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fprintf(stderr, "usage: kelvora_com_tests <Kelvora.dll> [<reference dir>]\n");
    return 2;
  }
  Env().dll_path = argv[1];
  const std::wstring reference = argc > 2 ? argv[2] : L"";
  Env().reference_dir = std::string(reference.begin(), reference.end());
  for (const TestCase& t : Registry()) {
    Stats().current_test = t.name;
    const int before = Stats().failed;
    t.body();
    std::printf("%s %s\n", Stats().failed == before ? "ok  " : "FAIL", t.name);
    std::fflush(stdout);
  }
  CoUninitialize();
  std::printf("%d passed, %d failed\n", Stats().passed, Stats().failed);
  return Stats().failed == 0 ? 0 : 1;
}
