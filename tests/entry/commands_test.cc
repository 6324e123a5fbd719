#include "entry/commands.h"

#include <gtest/gtest.h>

#include "host/error.h"
#include "host/layout.h"
#include "host/message.h"
#include "intake/intake_test_support.h"
#include "support/fault_injection.h"

namespace kelvora {
namespace {

// A desktop that keeps the page instead of showing it, or refuses to write
// or to open it; Run runs a command with it.
struct KeptPage : host::Desktop {
  explicit KeptPage(bool writes = true, bool opens = true) : writes(writes), opens(opens) {}
  std::optional<std::u16string> WriteTemporaryFile(const std::u16string& name,
                                                   std::string_view bytes) override {
    if (!writes) return std::nullopt;
    page = bytes;
    return u"/tmp/" + name;
  }
  bool Open(const std::u16string&) override { return opens; }
  void Run(testing::BoundWorkbook& w, const char* command) {
    host::Platform platform = w.platform.services();
    platform.desktop = this;
    host::Session session(w.bound, platform);
    FindCommand(command)->run(session);
  }
  std::string page;
  bool writes, opens;
};

// Host calls of one command on a workbook of `draws` stored draws that Main
// has analysed with both stages on, the clipboard holding `clipboard_file`.
int HostCalls(const char* command, int draws, const std::string& clipboard_file) {
  testing::BoundWorkbook w;
  w.FillStore(draws, 100000, 7);
  w.Put(layout::kSecondStageSwitch, host::Value(u"ON"));
  w.Run(FindCommand("Main")->run);
  if (clipboard_file.ends_with(".txt"))
    w.platform.clipboard.set_text(Utf8ToUtf16(testing::TestData(clipboard_file)));
  if (clipboard_file.ends_with(".html"))
    w.platform.clipboard.set_html(testing::TestData(clipboard_file));
  w.platform.messages.QueueAnswer(kIdYes);
  auto plan = std::make_shared<host::FaultPlan>();
  w.Bind(host::WrapApplication(w.app, plan), host::WrapWorkbook(w.book, plan));
  const int at_binding = plan->total_calls();
  KeptPage().Run(w, command);
  return plan->total_calls() - at_binding;
}

TEST(CommandsTest, HostCallsDoNotGrowWithTheStore) {
  // The intakes take 100 new draws, so their larger store leaves room for
  // them: a full store is refused before anything is taken.
  const std::tuple<const char*, const char*, int, int> cases[] = {
      {"Main", "", 65000, 36},
      {"BaoCao", "", 65000, 11},
      {"DanKQXS", "sample_100_draws.html", 64900, 40},
      {"DanKQXSNgay", "sample_by_date.html", 64900, 35},
      {"DanKQXSDB", "sample_special_prize.txt", 64900, 136},
      {"XoaDuLieu", "", 65000, 5},
      {"Copy1", "", 65000, 2},
  };
  for (const auto& [command, clipboard, large_store, calls] : cases) {
    EXPECT_EQ(HostCalls(command, 100, clipboard), calls) << command;
    EXPECT_EQ(HostCalls(command, large_store, clipboard), calls) << command;
  }
}

// BaoCao's refusals, in the order it meets them, with the texts the user
// reads; the page goes to the desktop only when nothing stops it.
TEST(CommandsTest, BaoCaoSaysWhyItCannotShowThePage) {
  using Sheet = std::shared_ptr<host::Worksheet> host::BoundBook::*;  // a sheet left unbound
  const std::tuple<Sheet, bool, bool, bool, int, std::string> cases[] = {
      {&host::BoundBook::MainSheet, true, true, true, 91,
       "Chưa gắn sổ tính: hãy gọi Sup trước (MainSheet)"},
      {&host::BoundBook::SettingsSheet, true, true, true, 91,
       "Chưa gắn sổ tính: hãy gọi Sup trước (SettingsSheet)"},
      {nullptr, false, true, true, 5, "Sổ tính chưa có kết quả phân tích: hãy chạy Main trước"},
      {nullptr, true, false, true, 75,
       "Không ghi được trang báo cáo vào thư mục tạm (Kelvora-report.html)"},
      {nullptr, true, true, false, 75,
       "Đã ghi trang báo cáo nhưng không mở được bằng trình duyệt mặc định: "
       "/tmp/Kelvora-report.html"},
      {nullptr, true, true, true, 0, ""},
  };
  for (const auto& [unbound, analysed, writes, opens, number, description] : cases) {
    testing::BoundWorkbook w;
    w.FillStore(100, 100000, 7);
    if (analysed) w.Run(FindCommand("Main")->run);
    if (unbound) w.bound.*unbound = nullptr;
    KeptPage desktop(writes, opens);
    std::pair<int, std::string> failed;
    try {
      desktop.Run(w, "BaoCao");
    } catch (const CommandError& e) {
      failed = {e.number(), e.description()};
    }
    EXPECT_EQ(failed, std::pair(number, description));
    EXPECT_EQ(desktop.page.empty(), unbound || !analysed || !writes);
  }
}

}  // namespace
}  // namespace kelvora
