#include "entry/sub.h"

#include <gtest/gtest.h>

#include <thread>

#include "entry/host_state.h"
#include "host/error.h"
#include "host/memory/memory_workbook.h"
#include "host/scripted_platform.h"

namespace kelvora {
namespace {

using host::memory::MemoryApplication;
using host::memory::MemoryWorkbook;

struct Host {
  explicit Host(std::initializer_list<const char16_t*> code_names) {
    app = std::make_shared<MemoryApplication>();
    book = std::make_shared<MemoryWorkbook>(app.get());
    for (auto* cn : code_names) book->AddSheet(cn, cn);
  }
  std::shared_ptr<MemoryApplication> app;
  std::shared_ptr<MemoryWorkbook> book;
};

int DragAndDropWrites(const MemoryApplication& app) {
  int n = 0;
  for (const auto& e : app.property_log()) n += e == "CellDragAndDrop=true";
  return n;
}

TEST(SubTest, BindsSheetsByExactCodeName) {
  struct Case {
    std::initializer_list<const char16_t*> sheets;
    bool main, paste, settings;
  } cases[] = {
      {{u"Sheet1", u"Sheet2", u"Sheet3"}, true, true, true},
      {{u"Sheet3", u"Other", u"Sheet1"}, true, false, true},    // no Sheet2: bound as far as found
      {{u"sheet1", u"Sheet2", u"SHEET3"}, false, true, false},  // case-sensitive
      {{}, false, false, false},
  };
  for (const auto& c : cases) {
    host::ScopedScriptedPlatform p;
    Host h(c.sheets);
    Sub sub;
    sub.Sup(h.app, h.book);
    const HostState& s = CurrentHostState();
    EXPECT_EQ(s.MainSheet != nullptr, c.main);
    EXPECT_EQ(s.PasteSheet != nullptr, c.paste);
    EXPECT_EQ(s.SettingsSheet != nullptr, c.settings);
    EXPECT_NE(s.WorksheetFunc, nullptr);
    ASSERT_EQ(p.locale.calls().size(), 1u);
    EXPECT_EQ(p.locale.calls()[0].lcid, 0x042Au);
    EXPECT_EQ(p.locale.calls()[0].format, "dd/MM/yyyy");
  }
}

TEST(SubTest, LastSheetWithACodeNameWinsAndRenamingChangesNothing) {
  host::ScopedScriptedPlatform p;
  Host h({u"Sheet1", u"Sheet1"});
  h.book->sheets()[0]->set_name(u"Renamed");
  Sub sub;
  sub.Sup(h.app, h.book);
  EXPECT_EQ(CurrentHostState().MainSheet.get(), h.book->sheets()[1].get());
}

TEST(SubTest, RepeatedSupKeepsSheetsTheNewBookLacks) {
  host::ScopedScriptedPlatform p;
  Host first({u"Sheet1", u"Sheet2", u"Sheet3"});
  Host second({u"Sheet1"});
  Sub sub;
  sub.Sup(first.app, first.book);
  sub.Sup(second.app, second.book);
  EXPECT_EQ(CurrentHostState().MainSheet.get(), second.book->sheets()[0].get());
  EXPECT_EQ(CurrentHostState().PasteSheet.get(), first.book->sheets()[1].get());
  EXPECT_EQ(CurrentHostState().ExcelApp.get(), second.app.get());
}

TEST(SubTest, InstancesShareTheStateAndShutDownActsOnce) {
  host::ScopedScriptedPlatform p;
  Host h({u"Sheet1", u"Sheet2", u"Sheet3"});
  auto a = std::make_unique<Sub>();
  auto b = std::make_unique<Sub>();
  a->Sup(h.app, h.book);
  EXPECT_EQ(CurrentHostState().MainSheet.get(), h.book->sheets()[0].get());
  b.reset();  // destroying either instance releases the state for both
  EXPECT_EQ(CurrentHostState().ExcelApp, nullptr);
  EXPECT_EQ(CurrentHostState().SettingsSheet, nullptr);
  EXPECT_EQ(DragAndDropWrites(*h.app), 1);
  a.reset();  // already unbound: nothing more
  EXPECT_EQ(DragAndDropWrites(*h.app), 1);
  EXPECT_EQ(h.app.use_count(), 1);  // every reference was given back
  EXPECT_EQ(h.book.use_count(), 1);
}

TEST(SubTest, DestroyingWithoutSupTouchesNothing) {
  host::ScopedScriptedPlatform p;
  Host h({u"Sheet1"});
  { Sub sub; }
  EXPECT_TRUE(h.app->property_log().empty());
}

TEST(SubTest, StateIsPerThread) {
  host::ScopedScriptedPlatform p;
  Host h({u"Sheet1"});
  Sub sub;
  sub.Sup(h.app, h.book);
  bool other_thread_bound = true;
  std::thread([&] { other_thread_bound = CurrentHostState().ExcelApp != nullptr; }).join();
  EXPECT_FALSE(other_thread_bound);
}

TEST(SubTest, CommandBeforeSupFailsWithObjectRequired) {
  host::ScopedScriptedPlatform p;
  Sub sub;
  p.messages.QueueAnswer(6);
  for (const char* name : {"XoaDuLieu", "Copy1"}) {
    try {
      ASSERT_TRUE(sub.RunCommand(name));
      FAIL() << name;
    } catch (const CommandError& e) {
      EXPECT_EQ(e.number(), err::kObjectRequired) << name;
    }
  }
  EXPECT_FALSE(sub.RunCommand("NoSuchCommand"));
  EXPECT_FALSE(sub.RunCommand("Sup"));
}

TEST(SubTest, SupWithUnusableObjectsFails) {
  host::ScopedScriptedPlatform p;
  Sub sub;
  try {
    sub.Sup(nullptr, nullptr);
    FAIL();
  } catch (const CommandError& e) {
    EXPECT_EQ(e.number(), err::kObjectRequired);
  }
}

}  // namespace
}  // namespace kelvora
