// Native reference run: engine_reference <page.html> <out dir>. Writes
// <out>/ngay.grid (what a paste of the page puts on the sheet) and
// <out>/expected.txt (the outcome of Sup, DanKQXSNgay and Main and every cell
// of the workbook afterwards).
#include <cstdio>
#include <fstream>
#include <sstream>

#include "cell_text.h"
#include "entry/sub.h"
#include "entry/workbook_template.h"
#include "host/error.h"
#include "host/scripted_platform.h"

using namespace kelvora;

namespace {

std::string Run(Sub& sub, const char* name) {
  std::string line = std::string(name) + ": ";
  try {
    sub.RunCommand(name);
    return line + "ok\n";
  } catch (const CommandError& e) {
    return line + "error " + std::to_string(e.number()) + " " + e.description() + "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: engine_reference <page.html> <out dir>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  std::ostringstream page;
  page << in.rdbuf();
  const std::string out_dir = argv[2];
  std::ofstream(out_dir + "/ngay.grid", std::ios::binary)
      << testing::EncodeGrid(host::memory::ConvertClipboardHtml(page.str()));

  host::ScopedScriptedPlatform platform;
  auto app = std::make_shared<host::memory::MemoryApplication>();
  auto book = std::make_shared<host::memory::MemoryWorkbook>(app.get());
  FillTemplateWorkbook(*book);
  app->set_clipboard_html(page.str());
  std::string expected;
  {
    Sub sub;
    try {
      sub.Sup(app, book);
      expected += "Sup: ok\n";
    } catch (const CommandError&) {
      expected += "Sup: failed\n";
    }
    expected += Run(sub, "DanKQXSNgay");
    expected += Run(sub, "Main");
  }
  expected += testing::DumpWorkbook(*book);
  std::ofstream(out_dir + "/expected.txt", std::ios::binary) << expected;
  return 0;
}
