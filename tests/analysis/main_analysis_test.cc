#include "analysis/main_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "entry/commands.h"
#include "host/error.h"
#include "host/message.h"
#include "support/bound_workbook.h"
#include "support/error_number.h"
#include "support/fault_injection.h"

namespace kelvora {
namespace {

using host::Value;
using testing::BoundWorkbook;
using testing::U;

const char* const kNotEnoughData = "Không đủ dữ liệu để thống kê";
const char* const kCheckParameters = "Vui Lòng Kiểm Tra Lại Các Thông Số";
const char* const kCheckParameters2 = "Vui Lòng Kiểm Tra Lại Các Thông Số Xử Lý 2";

std::u16string KindName(int row) { return U(kTemplateKindNames[static_cast<size_t>(row - 1)]); }

// A store of `count` draws, newest (number `newest`) in row 17.
void FillStore(BoundWorkbook& w, int count, int newest = 24123) { w.FillStore(count, newest, 777); }

// The parameter block of a stage: kind row, size, position or suffix, window.
void SetParameters(BoundWorkbook& w, int stage, int kind_row, Value size, Value position,
                   Value window) {
  const int top = stage == 1 ? 1 : 7;
  w.main().PutValue(top, 2, Value(KindName(kind_row)));
  w.main().PutValue(top + 1, 2, size);
  w.main().PutValue(top + 2, 2, position);
  w.main().PutValue(top + 3, 2, window);
}

const Value& At(BoundWorkbook& w, int row, int col) { return w.main().cell(row, col).value; }

std::vector<std::string> Shown(BoundWorkbook& w) {
  std::vector<std::string> out;
  for (const auto& m : w.platform.messages.shown()) out.push_back(Utf16ToUtf8(m.text));
  return out;
}

// The values of a block, row by row.
std::vector<Value> Block(BoundWorkbook& w, int top, int left, int bottom, int right) {
  std::vector<Value> out;
  for (int r = top; r <= bottom; ++r)
    for (int c = left; c <= right; ++c) out.push_back(At(w, r, c));
  return out;
}

bool BlockEmpty(BoundWorkbook& w, int top, int left, int bottom, int right) {
  const auto b = Block(w, top, left, bottom, right);
  return std::all_of(b.begin(), b.end(), [](const Value& v) { return v.IsEmpty(); });
}

// Puts old output everywhere Main clears, and beyond.
void FillOldOutputs(BoundWorkbook& w) {
  for (int r : {3, 5}) w.main().PutValue(r, 4, Value(u"old"));
  w.main().PutValue(11, 12, Value(u"old"));
  for (int r : {3, 10002, 10003, 12002}) {
    w.main().PutValue(r, 15, Value(u"old"));
    w.main().PutValue(r, 22, Value(u"old"));
  }
  w.main().PutValue(1, 4, Value(u"old heading"));
}

void ExpectScreenBackOn(BoundWorkbook& w) {
  EXPECT_TRUE(w.app->screen_updating());
  EXPECT_TRUE(w.app->display_alerts());
  const auto& log = w.app->property_log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "ScreenUpdating=false");
  EXPECT_EQ(log[1], "DisplayAlerts=false");
  EXPECT_EQ(log[log.size() - 2], "DisplayAlerts=true");
  EXPECT_EQ(log[log.size() - 1], "ScreenUpdating=true");
}

TEST(MainAnalysisTest, StoreSizeAtTheMinimum) {
  for (int draws : {33, 34}) {  // last row 49 and 50
    SCOPED_TRACE(draws);
    BoundWorkbook w;
    FillStore(w, draws);
    SetParameters(w, 1, 2, Value(40), Value(), Value(100));
    FillOldOutputs(w);
    w.Run(analysis::Main);
    ExpectScreenBackOn(w);
    EXPECT_EQ(BlockEmpty(w, 3, 4, 5, 12), draws == 33);
    EXPECT_TRUE(BlockEmpty(w, 9, 4, 11, 12));
    EXPECT_TRUE(At(w, 10002, 15).IsEmpty());
    EXPECT_EQ(At(w, 12002, 15), Value(u"old"));  // marks past row 10002 are kept
    if (draws == 33) {
      EXPECT_EQ(Shown(w), std::vector<std::string>{kNotEnoughData});
      EXPECT_EQ(w.platform.messages.shown()[0].style, 64 + 4096);
      EXPECT_TRUE(BlockEmpty(w, 3, 15, 40, 22));
      EXPECT_EQ(At(w, 1, 4), Value(u"old heading"));
      continue;
    }
    EXPECT_TRUE(Shown(w).empty());
    // n = min(34, 100) - 1 = 33 marks: O3:R35.
    EXPECT_EQ(At(w, 35, 15), Value(24123 - 32));
    EXPECT_TRUE(At(w, 36, 15).IsEmpty());
    const auto marks = Block(w, 3, 16, 35, 16);
    const double hits = static_cast<double>(std::count(marks.begin(), marks.end(), Value(u"X")));
    EXPECT_EQ(At(w, 3, 9), hits ? Value(hits) : Value());
    EXPECT_EQ(At(w, 3, 10), hits < 33 ? Value(33 - hits) : Value());
    EXPECT_EQ(Utf16ToUtf8(At(w, 1, 4).text()), "KẾT QUẢ DỰ ĐOÁN CHO KÌ: 24124");
  }
}

TEST(MainAnalysisTest, SetTextsStayText) {
  // Sets of one number ("35") and of two ("359,597") would read as numbers
  // unless the cells keep them as text.
  BoundWorkbook w;
  FillStore(w, 40, 24123);
  SetParameters(w, 1, 2, Value(1), Value(), Value(10));
  SetParameters(w, 2, 5, Value(2), Value(), Value(10));
  w.main().PutValue(6, 2, Value(u"ON"));
  w.Run(analysis::Main);
  EXPECT_EQ(Block(w, 3, 12, 5, 12), (std::vector<Value>{u"35", u"45", u"27"}));
  EXPECT_EQ(Block(w, 9, 12, 11, 12), (std::vector<Value>{u"359,597", u"456,562", u"278,786"}));
  w.Run(FindCommand("Copy6")->run);  // the copy commands hand them on unchanged
  EXPECT_EQ(w.platform.clipboard.text(), u"278,786");
}

TEST(MainAnalysisTest, PinnedOutputsOfASmallStore) {
  // 34 draws, numbers 1001 (oldest) to 1034 (newest). The results of the 10
  // newest draws were chosen so that each method's outcomes follow a planned
  // pattern, newest tested draw first, under kind row 2 (last two digits)
  // with sets of 50.
  const char* planned[3] = {"MMMHMMHMMM", "HHHHHHHHHH", "HHMMHHHMHM"};
  const char16_t* planned_results[] = {u"12301", u"12305", u"12315", u"12313", u"12317", u"12301",
                                       u"12300", u"12323", u"12303", u"12308", u"55555"};
  BoundWorkbook w;
  FillStore(w, 34, 1034);
  for (int i = 0; i < 34; ++i)
    w.main().PutValue(17 + i, 2, Value(i < 11 ? planned_results[i] : u"98765"));
  SetParameters(w, 1, 2, Value(50), Value(), Value(11));
  SetParameters(w, 2, 2, Value(50), Value(), Value(2));
  w.main().PutValue(6, 2, Value(u"ON"));
  FillOldOutputs(w);
  w.Run(analysis::Main);
  EXPECT_TRUE(Shown(w).empty());
  // A window of 2 tests the newest draw alone: M, H, H.
  const Value e;
  const std::vector<Value> stage1[3] = {
      {1, 1, 0, 3, 3, 2, 8, 20.0}, {2, 10, 10, 0, 0, 10, e, 100.0}, {3, 3, 2, 2, 0, 6, 4, 60.0}};
  const std::vector<Value> stage2[3] = {
      {1, 0, 0, 1, e, e, 1, 0.0}, {2, 1, 1, 0, 0, 1, e, 100.0}, {3, 1, 1, 0, 0, 1, e, 100.0}};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(Block(w, 2 + k, 4, 2 + k, 11), stage1[k - 1]) << "stage 1 method " << k;
    EXPECT_EQ(Block(w, 8 + k, 4, 8 + k, 11), stage2[k - 1]) << "stage 2 method " << k;
  }
  EXPECT_EQ(At(w, 3, 12), Value(u"00,01,03,05,06,07,10,15,18,19,25,26,27,28,31,32,33,35,37,38,47,"
                                u"50,51,52,53,54,56,59,60,63,65,66,68,69,70,72,73,76,78,80,83,85,"
                                u"86,88,89,91,93,96,97,99"));
  EXPECT_EQ(Block(w, 9, 12, 11, 12), Block(w, 3, 12, 5, 12));  // same newest draw
  EXPECT_EQ(Utf16ToUtf8(At(w, 1, 4).text()), "KẾT QUẢ DỰ ĐOÁN CHO KÌ: 1035");
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(At(w, i + 2, 15), Value(1035 - i));
    for (int k = 0; k < 3; ++k) {
      const Value mark = planned[k][i - 1] == 'H' ? Value(u"X") : Value();
      EXPECT_EQ(At(w, i + 2, 16 + k), mark) << i << " " << k;
      EXPECT_EQ(At(w, i + 2, 20 + k), i == 1 ? mark : Value()) << i << " " << k;
    }
  }
  EXPECT_TRUE(BlockEmpty(w, 13, 15, 10002, 22));
  EXPECT_EQ(At(w, 10003, 15), Value(u"old"));  // beyond the cleared area
}

TEST(MainAnalysisTest, SecondStageAgainstTheFirst) {
  // Only exactly "ON" runs it. Window 20 is equal to the first block, 8
  // smaller, 500 beyond the store (all draws but one); size 66 is too large
  // for the kind. No rows: no second stage.
  const std::tuple<const char16_t*, int, int, int> cases[] = {
      {u"ON", 40, 20, 19}, {u"ON", 40, 8, 7},   {u"ON", 40, 500, 59}, {u"ON", 66, 20, 0},
      {u"on", 40, 20, 0},  {u" ON", 40, 20, 0}, {nullptr, 40, 20, 0}};
  for (const auto& [on, size2, window2, rows2] : cases) {
    SCOPED_TRACE(::testing::Message() << window2 << " " << size2 << " " << (on ? "set" : "empty"));
    BoundWorkbook w;
    FillStore(w, 60);
    SetParameters(w, 1, 2, Value(40), Value(), Value(20));
    SetParameters(w, 2, 2, Value(size2), Value(), Value(window2));
    w.main().PutValue(6, 2, on ? Value(on) : Value());
    w.Run(analysis::Main);
    ExpectScreenBackOn(w);
    EXPECT_FALSE(BlockEmpty(w, 3, 4, 5, 12));  // stage 1 is written in every case
    EXPECT_EQ(Shown(w).size(), size2 == 66 ? 1u : 0u);
    EXPECT_EQ(BlockEmpty(w, 9, 4, 11, 12), rows2 == 0);
    EXPECT_TRUE(BlockEmpty(w, 3 + rows2, 20, 100, 22));
    if (rows2 == 0) continue;
    const int common = std::min(rows2, 19);  // same draws, same seeds
    EXPECT_EQ(Block(w, 3, 20, 2 + common, 22), Block(w, 3, 16, 2 + common, 18));
    if (window2 == 20) {
      EXPECT_EQ(Block(w, 9, 4, 11, 12), Block(w, 3, 4, 5, 12));
    }
  }
}

TEST(MainAnalysisTest, UnusableParametersShowTheStageMessage) {
  // Not a number, beyond 16 or 32 bits, outside the kind's sizes, a window
  // below 2 (also by rounding), a position below 1 (also by rounding).
  struct Case {
    int stage, kind_row;
    Value size, position, window;
  } cases[] = {
      {1, 2, Value(u"abc"), Value(), Value(100)},     {1, 2, Value(70000), Value(), Value(100)},
      {1, 2, Value(0), Value(), Value(100)},          {1, 2, Value(40), Value(), Value(u"x")},
      {1, 2, Value(40), Value(), Value(3e9)},         {1, 2, Value(40), Value(), Value(1.4)},
      {1, 2, Value(40), Value(), Value::Error(2042)}, {1, 6, Value(5), Value(u"0.5"), Value(100)},
      {1, 6, Value(5), Value(-3), Value(100)},        {2, 2, Value(u"abc"), Value(), Value(100)},
      {2, 3, Value(40), Value(), Value(u"")},         {2, 6, Value(5), Value(u"0"), Value(100)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "stage " << c.stage << " kind " << c.kind_row);
    BoundWorkbook w;
    FillStore(w, 40);
    SetParameters(w, 1, 2, Value(40), Value(), Value(10));
    SetParameters(w, c.stage, c.kind_row, c.size, c.position, c.window);
    w.main().PutValue(6, 2, Value(u"ON"));
    w.main().PutValue(1, 4, Value(u"old heading"));
    EXPECT_NO_THROW(w.Run(analysis::Main));
    ExpectScreenBackOn(w);
    EXPECT_EQ(Shown(w),
              std::vector<std::string>{c.stage == 1 ? kCheckParameters : kCheckParameters2});
    EXPECT_TRUE(BlockEmpty(w, 9, 4, 11, 12));
    EXPECT_TRUE(BlockEmpty(w, 3, 20, 50, 22));
    EXPECT_EQ(BlockEmpty(w, 3, 4, 5, 12), c.stage == 1);
    EXPECT_EQ(At(w, 3, 15).IsEmpty(), c.stage == 1);
    EXPECT_EQ(At(w, 1, 4) == Value(u"old heading"), c.stage == 1);
  }
}

TEST(MainAnalysisTest, KindRowSixPositions) {
  // The seed ends with the position's text; position 7 is past the result,
  // so every draw is a hit.
  const std::pair<Value, const char16_t*> cases[] = {{Value(7), u"0,1,3,6,7"},
                                                     {Value(u"7"), u"0,1,3,6,7"},
                                                     {Value(), u"2,4,5,7,9"},
                                                     {Value(3), u"1,3,5,6,7"},
                                                     {Value(u"abc"), u"0,1,2,5,8"}};
  for (const auto& [position, set] : cases) {
    BoundWorkbook w;
    FillStore(w, 40, 100);
    SetParameters(w, 1, 6, Value(5), position, Value(30));
    w.Run(analysis::Main);
    ASSERT_TRUE(Shown(w).empty());
    EXPECT_EQ(At(w, 3, 12), Value(set));
    if (position == Value(7)) {
      EXPECT_EQ(Block(w, 3, 9, 3, 10), (std::vector<Value>{29, Value()}));
    }
  }
}

TEST(MainAnalysisTest, RepeatedKindNamesOfDifferentWidthsAreRefused) {
  // The name of one KieuDanh row copied into another: refused when the size
  // is checked for one width and the set built for another (even at a size
  // both take); row 1 before row 5 and rows 3, 4 share a width.
  const std::tuple<int, int, int, bool> cases[] = {
      {2, 6, 40, true}, {2, 6, 5, true}, {5, 6, 300, true}, {1, 5, 40, false}, {3, 4, 300, false}};
  for (const auto& [from, to, size, refused] : cases) {
    SCOPED_TRACE(::testing::Message() << from << "->" << to);
    BoundWorkbook w;
    FillStore(w, 40);
    w.settings().PutValue(to, 1, Value(KindName(from)));
    SetParameters(w, 1, from, Value(size), Value(), Value(10));
    w.Run(analysis::Main);
    EXPECT_EQ(Shown(w).size(), refused ? 1u : 0u);
    EXPECT_EQ(BlockEmpty(w, 3, 4, 5, 12), refused);
  }
}

TEST(MainAnalysisTest, StoreFilledToRow65000) {
  BoundWorkbook w;
  FillStore(w, 65000 - 16);
  SetParameters(w, 1, 2, Value(40), Value(), Value(6));
  SetParameters(w, 2, 5, Value(300), Value(), Value(5));
  w.main().PutValue(6, 2, Value(u"ON"));
  EXPECT_NO_THROW(w.Run(analysis::Main));
  EXPECT_TRUE(Shown(w).empty());
  EXPECT_FALSE(BlockEmpty(w, 9, 4, 11, 12));
  EXPECT_EQ(Block(w, 7, 15, 8, 15), (std::vector<Value>{24123 - 4, Value()}));
}

TEST(MainAnalysisTest, FailureStillRestoresTheScreen) {
  // A result the heading cannot add 1 to; a host that refuses a write; a
  // host that cannot switch alerts off.
  const std::tuple<const char*, int, bool> cases[] = {{"", err::kTypeMismatch, false},
                                                      {"Range.SetValues", 1004, false},
                                                      {"Application.SetDisplayAlerts", 1004, true}};
  for (const auto& [fail, number, nothing_written] : cases) {
    SCOPED_TRACE(fail);
    BoundWorkbook w;
    FillStore(w, 40);
    SetParameters(w, 1, 2, Value(40), Value(), Value(10));
    if (*fail == '\0') {
      w.main().PutValue(17, 1, Value(u"abc"));
    } else {
      auto plan = std::make_shared<host::FaultPlan>();
      plan->Fail(fail, 0, 1004, "refused");
      w.Bind(host::WrapApplication(w.app, plan), host::WrapWorkbook(w.book, plan));
      w.app->clear_property_log();
    }
    EXPECT_EQ(testing::ErrorNumberOf([&] { w.Run(analysis::Main); }), number);
    EXPECT_TRUE(w.app->screen_updating());
    if (!nothing_written) ExpectScreenBackOn(w);
    // The method table is written before the heading fails.
    EXPECT_EQ(BlockEmpty(w, 3, 4, 5, 12), *fail != '\0');
  }
}

}  // namespace
}  // namespace kelvora
