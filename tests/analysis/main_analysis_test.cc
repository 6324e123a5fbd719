#include "analysis/main_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/convert.h"
#include "host/error.h"
#include "support/book_values.h"
#include "support/bound_workbook.h"
#include "support/error_number.h"
#include "support/fault_injection.h"

namespace kelvora::analysis {
namespace {

using host::Value, testing::BoundWorkbook;
using namespace layout;  // NOLINT(build/namespaces)

const char* const kCheckParameters2 = "Vui Lòng Kiểm Tra Lại Các Thông Số Xử Lý 2";

// A stage's parameters: kind (a row's name, or the value), size, position or suffix, window.
template <typename Book>
void SetParameters(Book& w, const layout::Stage& s, Value kind, Value size, Value position,
                   Value window) {
  const auto row = static_cast<size_t>(kind.IsNumber() ? kind.number() : 0);
  w.Put(s.kind, row > 0 ? Value(testing::U(kTemplateKindNames[row - 1])) : kind);
  w.Put(s.size, std::move(size));
  w.Put(s.position, std::move(position));
  w.Put(s.window, std::move(window));
}

// Cell `offset` (0: the method's number) of method k's row of a stage's table.
layout::Cell TableCell(const layout::Stage& s, int k, int offset) {
  return {layout::MethodRow(s, k), s.table.col + offset};
}

// The marks of tested draws `from` to `to` (1: the newest), methods `first`
// to `last` (0: the draw number column of stage 1).
layout::Block Marks(const layout::Stage& s, int32_t from, int32_t to, int first = 1, int last = 3) {
  const int32_t col = s.marks.col - (s.marks_with_draw_numbers ? 0 : 1);
  return {{s.marks.row + from - 1, col + first}, {s.marks.row + to - 1, col + last}};
}

std::vector<Value> Block(BoundWorkbook& w, layout::Block b) {
  std::vector<Value> out;
  for (int r = b.first.row; r <= b.last.row; ++r)
    for (int c = b.first.col; c <= b.last.col; ++c) out.push_back(w.At({r, c}));
  return out;
}

bool BlockEmpty(BoundWorkbook& w, layout::Block b) {
  return Block(w, b) == std::vector<Value>(static_cast<size_t>(b.rows() * b.cols()));
}

// Puts old output everywhere Main clears, and beyond.
void FillOldOutputs(BoundWorkbook& w) {
  for (int k : {1, 3}) w.Put(TableCell(kStage1, k, 0), Value(u"old"));
  w.Put(OutputCell(6), Value(u"old"));
  for (int r : {3, 10002, 10003})
    for (int c : {kMarksCleared.first.col, kMarksCleared.last.col}) w.Put({r, c}, Value(u"old"));
  w.Put(kHeading, Value(u"old heading"));
}

// Screen updating and alerts off first, and back on last (alerts first).
void ExpectScreenBackOn(BoundWorkbook& w) {
  const std::vector<std::string>& log = w.app->property_log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ((std::vector{log[0], log[1], log[log.size() - 2], log.back()}),
            (std::vector<std::string>{"ScreenUpdating=false", "DisplayAlerts=false",
                                      "DisplayAlerts=true", "ScreenUpdating=true"}));
}

TEST(MainAnalysisTest, StoreSizeBelowTheMinimumAndUnusableParameters) {
  // 33 draws: last row 49, one short; a first stage that cannot run stops
  // the second too. Nothing is written then, and the old outputs are cleared.
  const std::tuple<int, Value, const char*> cases[] = {
      {33, 40, "Không đủ dữ liệu để thống kê"}, {34, u"abc", "Vui Lòng Kiểm Tra Lại Các Thông Số"}};
  for (const auto& [draws, size, message] : cases) {
    SCOPED_TRACE(draws);
    BoundWorkbook w;
    w.FillStore(draws, 24123, 777);
    SetParameters(w, kStage1, Value(2), size, Value(), Value(100));
    w.Put(kSecondStageSwitch, Value(u"ON"));
    FillOldOutputs(w);
    w.Run(analysis::Main);
    ExpectScreenBackOn(w);
    EXPECT_EQ(w.Shown(), (std::vector{std::pair{std::string(message), 64 + 4096}}));
    for (layout::Block b : {MethodTable(kStage1), MethodTable(kStage2), kMarksCleared})
      EXPECT_TRUE(BlockEmpty(w, b));
    EXPECT_EQ(w.At(kHeading), Value(u"old heading"));
  }
}

TEST(MainAnalysisTest, PinnedOutputsOfASmallStore) {
  // 34 draws, numbers 1001 (oldest) to 1034 (newest). The results of the 10 newest draws were
  // chosen so that each method's outcomes follow a planned pattern, newest tested draw first, under
  // kind row 2 (last two digits) with sets of 50.
  const char* planned[3] = {"MMMHMMHMMM", "HHHHHHHHHH", "HHMMHHHMHM"};
  const char16_t* planned_results[] = {u"12301", u"12305", u"12315", u"12313", u"12317", u"12301",
                                       u"12300", u"12323", u"12303", u"12308", u"55555"};
  BoundWorkbook w;
  w.FillStore(34, 1034, 777);
  for (int i = 0; i < 34; ++i)
    w.Put({kStoreFirstRow + i, kStoreResultCol}, Value(i < 11 ? planned_results[i] : u"98765"));
  SetParameters(w, kStage1, Value(2), Value(50), Value(), Value(11));
  SetParameters(w, kStage2, Value(2), Value(50), Value(), Value(2));
  w.Put(kSecondStageSwitch, Value(u"ON"));
  FillOldOutputs(w);
  w.Run(analysis::Main);
  ExpectScreenBackOn(w);
  EXPECT_TRUE(w.Shown().empty());
  // A window of 2 tests the newest draw alone: M, H, H.
  const Value e;
  const std::vector<Value> stage1[3] = {
      {1, 1, 0, 3, 3, 2, 8, 20.0}, {2, 10, 10, 0, 0, 10, e, 100.0}, {3, 3, 2, 2, 0, 6, 4, 60.0}};
  const std::vector<Value> stage2[3] = {
      {1, 0, 0, 1, e, e, 1, 0.0}, {2, 1, 1, 0, 0, 1, e, 100.0}, {3, 1, 1, 0, 0, 1, e, 100.0}};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(Block(w, {TableCell(kStage1, k, 0), TableCell(kStage1, k, 7)}), stage1[k - 1]) << k;
    EXPECT_EQ(Block(w, {TableCell(kStage2, k, 0), TableCell(kStage2, k, 7)}), stage2[k - 1]) << k;
  }
  EXPECT_EQ(w.At(OutputCell(1)), Value(u"00,01,03,05,06,07,10,15,18,19,25,26,27,28,31,32,33,35,37,"
                                       u"38,47,50,51,52,53,54,56,59,60,63,65,66,68,69,70,72,73,76,"
                                       u"78,80,83,85,86,88,89,91,93,96,97,99"));
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(w.At(OutputCell(3 + i)), w.At(OutputCell(i)));
  EXPECT_EQ(Utf16ToUtf8(w.At(kHeading).text()), "KẾT QUẢ DỰ ĐOÁN CHO KÌ: 1035");
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(w.At(Marks(kStage1, i, i, 0, 0).first), Value(1035 - i));
    for (int k = 1; k <= 3; ++k) {
      const Value mark = planned[k - 1][i - 1] == 'H' ? Value(u"X") : Value();
      EXPECT_EQ(w.At(Marks(kStage1, i, i, k, k).first), mark) << i << " " << k;
      EXPECT_EQ(w.At(Marks(kStage2, i, i, k, k).first), i == 1 ? mark : Value()) << i << " " << k;
    }
  }
  EXPECT_TRUE(BlockEmpty(w, {{13, kMarksCleared.first.col}, kMarksCleared.last}));
  EXPECT_EQ(w.At({10003, kMarksCleared.first.col}), Value(u"old"));  // beyond the cleared area
}

TEST(MainAnalysisTest, SecondStageAgainstTheFirst) {
  // Only exactly "ON" runs it. Window 20 is equal to the first block, 8 smaller, 500 beyond the
  // store (all draws but one); size 66 is too large for the kind. No rows: no second stage.
  const std::tuple<const char16_t*, int, int, int> cases[] = {
      {u"ON", 40, 20, 19}, {u"ON", 40, 8, 7},   {u"ON", 40, 500, 59}, {u"ON", 66, 20, 0},
      {u"on", 40, 20, 0},  {u" ON", 40, 20, 0}, {nullptr, 40, 20, 0}};
  for (const auto& [on, size2, window2, rows2] : cases) {
    SCOPED_TRACE(::testing::Message() << window2 << " " << size2 << " " << (on ? "set" : "empty"));
    BoundWorkbook w;
    w.FillStore(60, 24123, 777);
    SetParameters(w, kStage1, Value(2), Value(40), Value(), Value(20));
    SetParameters(w, kStage2, Value(2), Value(size2), Value(), Value(window2));
    w.Put(kSecondStageSwitch, on ? Value(on) : Value());
    w.Run(analysis::Main);
    EXPECT_FALSE(BlockEmpty(w, MethodTable(kStage1)));  // stage 1 is written in every case
    EXPECT_EQ(w.Shown(), (size2 == 66 ? decltype(w.Shown()){{kCheckParameters2, 64 + 4096}}
                                      : decltype(w.Shown()){}));
    EXPECT_EQ(BlockEmpty(w, MethodTable(kStage2)), rows2 == 0);
    EXPECT_TRUE(BlockEmpty(w, Marks(kStage2, rows2 + 1, 100)));
    if (rows2 == 0) continue;
    const int common = std::min(rows2, 19);  // same draws, same seeds
    EXPECT_EQ(Block(w, Marks(kStage2, 1, common)), Block(w, Marks(kStage1, 1, common)));
    if (window2 == 20) {
      EXPECT_EQ(Block(w, MethodTable(kStage2)), Block(w, MethodTable(kStage1)));
    }
  }
}

// Why a stage cannot run, on a store of 40 draws and the template's kind list: not a number, beyond
// 16 or 32 bits, outside the kind's sizes, a window below 2 or a position below 1 (also by
// rounding); n, the draws tested when it runs.
TEST(PrepareStageTest, NamesWhyAStageCannotRun) {
  using R = StageRefusal;
  const Value e, na = Value::Error(2042);
  const std::tuple<Value, Value, Value, Value, R, int32_t> cases[] = {
      {2, 40, e, 100, R::kNone, 39},           {2, 65, e, 2.5, R::kNone, 1},
      {6, 5, u"abc", 3, R::kNone, 2},          {2, u"abc", e, 100, R::kUnreadable, 0},
      {2, 70000, e, 100, R::kUnreadable, 0},   {2, 40, e, u"x", R::kUnreadable, 0},
      {2, 40, e, 3e9, R::kUnreadable, 0},      {2, 40, e, 1.4, R::kUnreadable, 0},
      {2, 40, e, na, R::kUnreadable, 0},       {na, 40, e, 100, R::kUnreadable, 0},
      {2, 66, e, 100, R::kSizeOutside, 0},     {6, 5, u"0.5", 100, R::kKindParameters, 0},
      {u"x", 1, e, 100, R::kKindNotListed, 0}, {6, 5, u"0", 100, R::kKindParameters, 0},
      {5, 40, u"0", 100, R::kNone, 39},  // the position plays no part
  };
  testing::BookValues b;
  b.FillStore(40, 24123, 777);
  for (const auto& [kind, size, position, window, refusal, n] : cases) {
    SetParameters(b, kStage2, kind, size, position, window);
    const StagePlan plan = PrepareStage(b.View(), kStage2);
    EXPECT_EQ(plan.refusal, refusal) << Utf16ToUtf8(host::ToText(size));
    EXPECT_EQ(plan.run ? plan.run->n : 0, n) << Utf16ToUtf8(host::ToText(size));
  }
  b.FillStore(1, 24123, 777);
  EXPECT_EQ(PrepareStage(b.View(), kStage1).refusal, R::kTooFewDraws);
  EXPECT_EQ(PrepareStage(testing::BookValues().View(), kStage1, 66).refusal, R::kSizeOutside);
}

TEST(PrepareStageTest, RepeatedKindNamesOfDifferentWidthsAreRefused) {
  // The name of one KieuDanh row copied into another: refused when the size
  // is checked for one width and the set built for another (even at a size
  // both take); row 1 before row 5 and rows 3, 4 share a width.
  const std::tuple<int, int, int, int> cases[] = {
      {2, 6, 40, 0}, {2, 6, 5, 0}, {5, 6, 300, 0}, {1, 5, 40, 1}, {3, 4, 300, 3}};
  for (const auto& [from, to, size, kind_row] : cases) {
    testing::BookValues b;
    b.FillStore(40, 24123, 777);
    b.kinds(to, 1) = b.kinds(from, 1);
    SetParameters(b, kStage1, from, size, Value(), 200);
    const StagePlan plan = PrepareStage(b.View(), kStage1);
    EXPECT_EQ(plan.refusal, kind_row ? StageRefusal::kNone : StageRefusal::kWidthsDiffer) << from;
    EXPECT_EQ(plan.run ? plan.run->kind_row : 0, kind_row) << from << "->" << to;
  }
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
    w.FillStore(40, 24123, 777);
    SetParameters(w, kStage1, Value(2), Value(40), Value(), Value(10));
    if (*fail == '\0') {
      w.Put(kStoreTop, Value(u"abc"));
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
    EXPECT_EQ(BlockEmpty(w, MethodTable(kStage1)), *fail != '\0');
  }
}

}  // namespace
}  // namespace kelvora::analysis
