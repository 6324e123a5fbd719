#include "entry/sub.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <thread>

#include "entry/commands.h"
#include "entry/host_state.h"
#include "host/error.h"
#include "memory/memory_workbook.h"
#include "support/error_number.h"
#include "support/fault_injection.h"
#include "support/scripted_platform.h"

namespace kelvora {
namespace {

using host::memory::MemoryApplication;
using host::memory::MemoryWorkbook;

struct Host {
  explicit Host(const std::vector<const char16_t*>& code_names) {
    for (auto* cn : code_names) book->AddSheet(cn, cn);
  }
  std::shared_ptr<MemoryApplication> app = std::make_shared<MemoryApplication>();
  std::shared_ptr<MemoryWorkbook> book = std::make_shared<MemoryWorkbook>(app.get());
};

// Scripted services installed as the thread's platform while alive.
struct ThreadPlatform : host::ScriptedPlatform {
  ThreadPlatform() { SetThreadPlatform(services()); }
  ~ThreadPlatform() { SetThreadPlatform({}); }
};

struct SubTest : ::testing::Test {
  ThreadPlatform p;
  Sub sub;
};

TEST_F(SubTest, BindsSheetsByExactCodeName) {
  // The sheets, and whether Sheet1, Sheet2 and Sheet3 are bound.
  const std::pair<std::vector<const char16_t*>, std::array<bool, 3>> cases[] = {
      {{u"Sheet1", u"Sheet2", u"Sheet3"}, {true, true, true}},
      {{u"Sheet3", u"Other", u"Sheet1"}, {true, false, true}},  // no Sheet2: bound as far as found
      {{u"sheet1", u"Sheet2", u"SHEET3"}, {false, true, false}},  // case-sensitive
      {{}, {false, false, false}},
  };
  size_t sups = 0;
  for (const auto& [sheets, bound] : cases) {
    Host h(sheets);
    Sub fresh;  // releases its binding at the end of the case
    fresh.Sup(h.app, h.book);
    const host::BoundBook& s = CurrentHostState().book;
    EXPECT_EQ((std::array{bool(s.MainSheet), bool(s.PasteSheet), bool(s.SettingsSheet)}), bound);
    EXPECT_NE(s.WorksheetFunc, nullptr);
    ASSERT_EQ(p.locale.calls().size(), ++sups);
    EXPECT_EQ(p.locale.calls().back().lcid, 0x042Au);
    EXPECT_EQ(p.locale.calls().back().format, "dd/MM/yyyy");
  }
  // The last sheet of a code name wins; renaming changes nothing.
  Host h({u"Sheet1", u"Sheet1"});
  h.book->sheets()[0]->set_name(u"Renamed");
  sub.Sup(h.app, h.book);
  EXPECT_EQ(CurrentHostState().book.MainSheet.get(), h.book->sheets()[1].get());
}

TEST_F(SubTest, AHostThatRefusesItsWindowIsBoundWithoutOne) {
  Host h({u"Sheet1"});
  auto plan = std::make_shared<host::FaultPlan>();
  plan->Fail("Application.Hwnd");
  sub.Sup(host::WrapApplication(h.app, plan), h.book);
  EXPECT_EQ(plan->calls("Application.Hwnd"), 1);
  EXPECT_EQ(CurrentHostState().book.HostWindow, 0);
  EXPECT_NE(CurrentHostState().book.MainSheet, nullptr);
}

TEST_F(SubTest, RepeatedSupKeepsSheetsTheNewBookLacks) {
  Host first({u"Sheet1", u"Sheet2", u"Sheet3"});
  Host second({u"Sheet1"});
  sub.Sup(first.app, first.book);
  sub.Sup(second.app, second.book);
  EXPECT_EQ(CurrentHostState().book.MainSheet.get(), second.book->sheets()[0].get());
  EXPECT_EQ(CurrentHostState().book.PasteSheet.get(), first.book->sheets()[1].get());
  EXPECT_EQ(CurrentHostState().book.ExcelApp.get(), second.app.get());
}

TEST_F(SubTest, StateIsPerThread) {
  Host h({u"Sheet1"});
  sub.Sup(h.app, h.book);
  bool other_thread_bound = true;
  std::thread([&] { other_thread_bound = CurrentHostState().book.ExcelApp != nullptr; }).join();
  EXPECT_FALSE(other_thread_bound);
  // The paste flag stays with the thread from one command to the next.
  CurrentHostState().paste_failed = true;
  RunOnThreadState([](host::Session& s) {
    EXPECT_TRUE(s.paste_failed);
    s.paste_failed = false;
  });
  EXPECT_FALSE(CurrentHostState().paste_failed);
}

// Before Sup, even a question answered Yes ends in the missing-object error.
TEST_F(SubTest, CommandBeforeSupOrSupWithoutObjectsFails) {
  p.messages.QueueAnswer(6);
  for (auto call : std::initializer_list<std::function<void()>>{
           [&] { sub.XoaDuLieu(); }, [&] { sub.Copy1(); }, [&] { sub.Main(); },
           [&] { sub.Sup(nullptr, nullptr); }})
    EXPECT_EQ(testing::ErrorNumberOf(call), err::kObjectRequired);
}

TEST_F(SubTest, CommandsAreFoundInAnyLetterCase) {
  const std::pair<const char*, std::string_view> cases[] = {
      {"baocao", "BaoCao"}, {"dankqxsdb", "DanKQXSDB"},
      {"COPY6", "Copy6"},   {"Sup", ""},
      {"Copy", ""},         {"Copy7", ""}};  // "": none
  for (const auto& [asked, found] : cases)
    EXPECT_EQ(FindCommand(asked) ? FindCommand(asked)->name : "", found) << asked;
}

}  // namespace
}  // namespace kelvora
