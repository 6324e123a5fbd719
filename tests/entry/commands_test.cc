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
// or to open it.
struct KeptPage : host::Desktop {
  std::optional<std::u16string> WriteTemporaryFile(const std::u16string& name,
                                                   std::string_view bytes) override {
    if (!writes) return std::nullopt;
    page = bytes;
    return u"/tmp/" + name;
  }
  bool Open(const std::u16string&) override { return opens; }
  std::string page;
  bool writes = true, opens = true;
};

// Host calls of one command on a workbook of `draws` stored draws that Main
// has analysed with both stages on, the clipboard holding `clipboard`.
int HostCalls(const char* command, int draws, const std::string& clipboard_file) {
  testing::BoundWorkbook w;
  w.FillStore(draws, 100000, 7);
  w.Put(layout::kSecondStageSwitch, host::Value(u"ON"));
  w.Run(FindCommand("Main")->run);
  const std::string data = clipboard_file.empty() ? "" : testing::TestData(clipboard_file);
  if (clipboard_file.ends_with(".txt"))
    w.platform.clipboard.set_text(Utf8ToUtf16(data));
  else if (!data.empty())
    w.platform.clipboard.set_html(data);
  w.platform.messages.QueueAnswer(kIdYes);
  auto plan = std::make_shared<host::FaultPlan>();
  w.Bind(host::WrapApplication(w.app, plan), host::WrapWorkbook(w.book, plan));
  const int at_binding = plan->total_calls();
  KeptPage desktop;
  host::Platform platform = w.platform.services();
  platform.desktop = &desktop;
  host::Session session(w.bound, platform);
  FindCommand(command)->run(session);
  return plan->total_calls() - at_binding;
}

TEST(CommandsTest, HostCallsDoNotGrowWithTheStore) {
  // The intakes take 100 new draws, so their larger store leaves room for
  // them: a full store is refused before anything is taken.
  const struct {
    const char* command;
    const char* clipboard;
    int large_store, calls;
  } cases[] = {
      {"Main", "", 65000, 36},
      {"BaoCao", "", 65000, 11},
      {"DanKQXS", "sample_100_draws.html", 64900, 40},
      {"DanKQXSNgay", "sample_by_date.html", 64900, 35},
      {"DanKQXSDB", "sample_special_prize.txt", 64900, 136},
      {"XoaDuLieu", "", 65000, 5},
      {"Copy1", "", 65000, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostCalls(c.command, 100, c.clipboard), c.calls) << c.command;
    EXPECT_EQ(HostCalls(c.command, c.large_store, c.clipboard), c.calls) << c.command;
  }
}

// BaoCao's refusals, in the order it meets them, with the texts the user
// reads; the page goes to the desktop only when nothing stops it.
TEST(CommandsTest, BaoCaoSaysWhyItCannotShowThePage) {
  const struct {
    std::shared_ptr<host::Worksheet> host::BoundBook::*unbound;
    bool analysed, writes, opens;
    int number;
    const char* description;
  } cases[] = {
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
  for (const auto& c : cases) {
    testing::BoundWorkbook w;
    w.FillStore(100, 100000, 7);
    if (c.analysed) w.Run(FindCommand("Main")->run);
    if (c.unbound) w.bound.*c.unbound = nullptr;
    KeptPage desktop;
    desktop.writes = c.writes;
    desktop.opens = c.opens;
    host::Platform platform = w.platform.services();
    platform.desktop = &desktop;
    host::Session session(w.bound, platform);
    int number = 0;
    std::string description;
    try {
      FindCommand("BaoCao")->run(session);
    } catch (const CommandError& e) {
      number = e.number();
      description = e.description();
    }
    EXPECT_EQ(std::pair(number, description), std::pair(c.number, std::string(c.description)));
    EXPECT_EQ(desktop.page.empty(), c.unbound || !c.analysed || !c.writes);
  }
}

}  // namespace
}  // namespace kelvora
