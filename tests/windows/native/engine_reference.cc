// Native reference run: engine_reference <data dir> <out dir>. For each
// scenario it runs the portable engine over the in-memory template workbook
// and writes what the Windows test program needs to repeat it through
// Kelvora.dll and compare:
// - ngay.grid: the grid a paste of the by-date page gives;
// - db.clip: the special-prize text as the clipboard holds it (CR LF lines);
// - expected-<scenario>.txt: the outcome of each command and every cell of
//   the workbook afterwards.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "cell_text.h"
#include "entry/sub.h"
#include "entry/workbook_template.h"
#include "host/error.h"
#include "host/scripted_platform.h"

using namespace kelvora;

namespace {

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}

std::string Run(Sub& sub, const char* name) {
  std::string line = std::string(name) + ": ";
  try {
    sub.RunCommand(name);
    return line + "ok\n";
  } catch (const CommandError& e) {
    return line + "error " + std::to_string(e.number()) + " " + e.description() + "\n";
  }
}

// Sup, then the commands, then the dump.
std::string Scenario(const std::string& html, const std::u16string& clipboard_text,
                     const std::vector<const char*>& commands) {
  host::ScopedScriptedPlatform platform;
  platform.clipboard.set_text(clipboard_text);
  auto app = std::make_shared<host::memory::MemoryApplication>();
  auto book = std::make_shared<host::memory::MemoryWorkbook>(app.get());
  FillTemplateWorkbook(*book);
  if (!html.empty()) app->set_clipboard_html(html);
  std::string out;
  {
    Sub sub;
    try {
      sub.Sup(app, book);
      out += "Sup: ok\n";
    } catch (const CommandError&) {
      out += "Sup: failed\n";
    }
    for (const char* c : commands) out += Run(sub, c);
  }
  return out + testing::DumpWorkbook(*book);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: engine_reference <data dir> <out dir>\n");
    return 2;
  }
  const std::string data = argv[1], out = argv[2];
  std::string page, text;
  if (!ReadFile(data + "/ket-qua-theo-ngay.html", &page) ||
      !ReadFile(data + "/dac-biet.txt", &text)) {
    std::fprintf(stderr, "cannot read the sample files in %s\n", data.c_str());
    return 2;
  }
  std::string clip;
  for (char ch : text) {
    if (ch == '\n') clip += '\r';
    clip += ch;
  }
  std::ofstream(out + "/ngay.grid", std::ios::binary)
      << testing::EncodeGrid(host::memory::ConvertClipboardHtml(page));
  std::ofstream(out + "/db.clip", std::ios::binary) << clip;
  std::ofstream(out + "/expected-ngay.txt", std::ios::binary)
      << Scenario(page, u"", {"DanKQXSNgay", "Main"});
  std::ofstream(out + "/expected-db.txt", std::ios::binary)
      << Scenario("", Utf8ToUtf16(clip), {"DanKQXSDB", "Main"});
  return 0;
}
