// Native reference run: engine_reference <data dir> <out dir>. For each
// scenario of scenarios.h it runs the portable engine over the in-memory
// template workbook and writes what the Windows test program needs to repeat
// it through Kelvora.dll and compare:
// - <scenario>.grid: the grid a paste of the scenario's page gives;
// - <scenario>.clip: the scenario's text as the clipboard holds it;
// - expected-<scenario>.txt: the outcome of each command, the clipboard's
//   text and every cell of the workbook afterwards;
// - <scenario>.report.json: the data block of the report page of the
//   workbook after the commands, as `kelvora report` renders it.
#include <cstdio>
#include <fstream>
#include <regex>

#include "book/workbook_template.h"
#include "entry/commands.h"
#include "entry/host_state.h"
#include "entry/report_command.h"
#include "entry/sub.h"
#include "host/error.h"
#include "html/html_paste.h"
#include "report/report_page.h"
#include "scenarios.h"
#include "support/scripted_platform.h"

using namespace kelvora;

namespace {

// The expected text of a scenario; `data_block` receives the report's.
std::string Run(const testing::Scenario& scenario, const std::string& html, const std::string& clip,
                std::string* data_block) {
  host::ScriptedPlatform platform;
  SetThreadPlatform(platform.services());
  platform.clipboard.set_text(Utf8ToUtf16(clip));
  if (!html.empty()) platform.clipboard.set_html(html);
  auto app = std::make_shared<host::memory::MemoryApplication>();
  app->set_clipboard(&platform.clipboard);
  auto book = std::make_shared<host::memory::MemoryWorkbook>(app.get());
  FillTemplateWorkbook(*book);
  std::string out = "Sup: ok\n";
  {
    Sub sub;
    sub.Sup(app, book);
    for (const char* c : scenario.commands) {
      out += std::string(c) + ": ";
      try {
        RunOnThreadState(FindCommand(c)->run);
        out += "ok\n";
      } catch (const CommandError& e) {
        out += "error " + std::to_string(e.number()) + " " + e.description() + "\n";
      }
    }
    RunOnThreadState([&](host::Session& session) {
      const auto data = report::GatherReport(session, entry::kReportTitle);
      *data_block = data ? testing::ReportDataBlock(report::RenderReportPage(*data)) : "";
    });
  }
  SetThreadPlatform({});
  out += "clipboard: " + testing::EscapeText(platform.clipboard.text()) + "\n";
  return out + testing::DumpWorkbook(*book);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: engine_reference <data dir> <out dir>\n");
    return 2;
  }
  const std::string data = argv[1], out = argv[2];
  for (const testing::Scenario& s : testing::kScenarios) {
    const auto sample = [&](const char* file) {
      return file ? testing::ReadFile(data + "/" + file) : std::optional<std::string>("");
    };
    const std::optional<std::string> html = sample(s.page), text = sample(s.text);
    if (!html || !text) {
      std::fprintf(stderr, "cannot read the sample files of %s in %s\n", s.name, data.c_str());
      return 2;
    }
    const std::string clip = std::regex_replace(*text, std::regex("\n"), "\r\n");
    const std::string base = out + "/" + s.name;
    std::ofstream(base + ".grid", std::ios::binary)
        << testing::EncodeGrid(s.page ? html::ConvertClipboardHtml(*html) : std::nullopt);
    std::ofstream(base + ".clip", std::ios::binary) << clip;
    std::string data_block;
    std::ofstream(out + "/expected-" + s.name + ".txt", std::ios::binary)
        << Run(s, *html, clip, &data_block);
    std::ofstream(base + ".report.json", std::ios::binary) << data_block;
  }
  return 0;
}
