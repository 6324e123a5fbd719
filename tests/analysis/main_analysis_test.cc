#include "analysis/main_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "entry/commands.h"
#include "host/error.h"
#include "host/message.h"
#include "numbersets/number_sets.h"
#include "support/bound_workbook.h"
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

// A store of `count` draws, newest (number `newest`) in row 17; results are
// five digits from a fixed sequence unless `results` gives them.
void FillStore(BoundWorkbook& w, int count, int newest = 24123,
               const std::vector<std::u16string>& results = {}) {
  uint32_t x = 777;
  for (int i = 0; i < count; ++i) {
    x = x * 1664525u + 1013904223u;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%05u", (x >> 7) % 100000u);
    const std::u16string result =
        static_cast<size_t>(i) < results.size() ? results[static_cast<size_t>(i)] : Ascii(buf);
    w.main().PutValue(17 + i, 1, Value(newest - i));
    w.main().PutValue(17 + i, 2, Value(result));
  }
  w.main().PutValue(15, 2, Value(count));
}

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

class MainAnalysisTest : public ::testing::Test {};

TEST_F(MainAnalysisTest, StoreSizeAtTheMinimum) {
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

TEST_F(MainAnalysisTest, WindowOfTwoTestsOneDraw) {
  BoundWorkbook w;
  FillStore(w, 40, 5000);
  SetParameters(w, 1, 5, Value(300), Value(), Value(2));
  w.Run(analysis::Main);
  EXPECT_EQ(At(w, 3, 15), Value(5000));
  EXPECT_TRUE(At(w, 4, 15).IsEmpty());
  for (int row = 3; row <= 5; ++row) {
    const bool hit = At(w, 3, 16 + row - 3) == Value(u"X");
    // Method, longest and current hit run, longest and current miss run,
    // hits, misses, rate.
    const std::vector<Value> expected =
        hit ? std::vector<Value>{row - 2, 1, 1, 0, 0, 1, Value(), 100}
            : std::vector<Value>{row - 2, 0, 0, 1, Value(), Value(), 1, 0};
    EXPECT_EQ(Block(w, row, 4, row, 11), expected) << row;
  }
}

TEST_F(MainAnalysisTest, SecondStageOnlyForExactlyOn) {
  for (const Value& on : {Value(u"ON"), Value(u"on"), Value(u" ON"), Value()}) {
    BoundWorkbook w;
    FillStore(w, 60);
    SetParameters(w, 2, 3, Value(100), Value(), Value(30));
    w.main().PutValue(6, 2, on);
    w.Run(analysis::Main);
    EXPECT_EQ(BlockEmpty(w, 9, 4, 11, 12), on != Value(u"ON"));
    EXPECT_FALSE(BlockEmpty(w, 3, 4, 5, 12));
    ExpectScreenBackOn(w);
  }
}

TEST_F(MainAnalysisTest, SetTextsStayText) {
  // Sets of one number ("07"-like) and of two ("123,456"-like) would read as
  // numbers unless the cells keep them as text.
  BoundWorkbook w;
  FillStore(w, 40, 24123);
  SetParameters(w, 1, 2, Value(1), Value(), Value(10));
  SetParameters(w, 2, 5, Value(2), Value(), Value(10));
  w.main().PutValue(6, 2, Value(u"ON"));
  w.Run(analysis::Main);
  for (int k = 1; k <= 3; ++k) {
    const std::u16string seed = u"pp" + Ascii(std::to_string(k)) + u"24123" + At(w, 17, 2).text();
    EXPECT_EQ(At(w, 2 + k, 12), Value(numbersets::BuildPairSet(seed, 1)));
    EXPECT_EQ(At(w, 8 + k, 12), Value(numbersets::BuildTripleSet(seed, 2)));
  }
  w.Run(FindCommand("Copy6")->run);  // the copy commands hand them on unchanged
  EXPECT_EQ(w.platform.clipboard.text(), At(w, 11, 12).text());
}

TEST_F(MainAnalysisTest, PinnedOutputsOfASmallStore) {
  // 34 draws, numbers 1001 (oldest) to 1034 (newest). The results of the 10
  // newest draws are chosen so that each method's outcomes follow a planned
  // pattern, newest tested draw first, under kind row 2 (last two digits)
  // with sets of 50.
  const char* planned[3] = {"MMMHMMHMMM", "HHHHHHHHHH", "HHMMHHHMHM"};
  std::vector<std::u16string> results(34, u"98765");  // results[i - 1]: draw row i
  results[10] = u"55555";
  auto set_of = [&](int k, int row) {
    return numbersets::BuildPairSet(u"pp" + Ascii(std::to_string(k)) +
                                        Ascii(std::to_string(1035 - row)) +
                                        results[static_cast<size_t>(row - 1)],
                                    50);
  };
  for (int i = 10; i >= 1; --i) {
    bool found = false;
    for (int p = 0; p < 100 && !found; ++p) {
      const std::u16string pair = Ascii(std::string(1, char('0' + p / 10)) + char('0' + p % 10));
      found = true;
      for (int k = 0; k < 3; ++k)
        found &= ((u"," + set_of(k + 1, i + 1) + u",").find(u"," + pair + u",") !=
                  std::u16string::npos) == (planned[k][i - 1] == 'H');
      if (found) results[static_cast<size_t>(i - 1)] = u"123" + pair;
    }
    ASSERT_TRUE(found) << i;
  }

  BoundWorkbook w;
  FillStore(w, 34, 1034, results);
  SetParameters(w, 1, 2, Value(50), Value(), Value(11));
  SetParameters(w, 2, 2, Value(50), Value(), Value(5));
  w.main().PutValue(6, 2, Value(u"ON"));
  FillOldOutputs(w);
  w.Run(analysis::Main);
  EXPECT_TRUE(Shown(w).empty());
  // The second stage tests the 4 newest draws: MMMH, HHHH, HHMM.
  const Value e;
  const std::vector<Value> stage1[3] = {
      {1, 1, 0, 3, 3, 2, 8, 20.0}, {2, 10, 10, 0, 0, 10, e, 100.0}, {3, 3, 2, 2, 0, 6, 4, 60.0}};
  const std::vector<Value> stage2[3] = {
      {1, 1, 0, 0, 3, 1, 3, 25.0}, {2, 4, 4, 0, 0, 4, e, 100.0}, {3, 2, 2, 2, 0, 2, 2, 50.0}};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(Block(w, 2 + k, 4, 2 + k, 11), stage1[k - 1]) << "stage 1 method " << k;
    EXPECT_EQ(Block(w, 8 + k, 4, 8 + k, 11), stage2[k - 1]) << "stage 2 method " << k;
    EXPECT_EQ(At(w, 2 + k, 12), Value(set_of(k, 1)));
    EXPECT_EQ(At(w, 8 + k, 12), Value(set_of(k, 1)));
  }
  EXPECT_EQ(Utf16ToUtf8(At(w, 1, 4).text()), "KẾT QUẢ DỰ ĐOÁN CHO KÌ: 1035");
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(At(w, i + 2, 15), Value(1035 - i));
    for (int k = 0; k < 3; ++k) {
      const Value mark = planned[k][i - 1] == 'H' ? Value(u"X") : Value();
      EXPECT_EQ(At(w, i + 2, 16 + k), mark) << i << " " << k;
      EXPECT_EQ(At(w, i + 2, 20 + k), i <= 4 ? mark : Value()) << i << " " << k;
    }
  }
  EXPECT_TRUE(BlockEmpty(w, 13, 15, 10002, 22));
  EXPECT_EQ(At(w, 10003, 15), Value(u"old"));  // beyond the cleared area
}

TEST_F(MainAnalysisTest, SecondStageAgainstTheFirst) {
  // Window 20 is equal to the first block, 8 smaller, 500 beyond the store
  // (all draws but one); size 66 is too large for the kind.
  const std::tuple<int, int, int> cases[] = {{40, 20, 19}, {40, 8, 7}, {40, 500, 59}, {66, 20, 0}};
  for (const auto& [size2, window2, rows2] : cases) {
    SCOPED_TRACE(window2);
    BoundWorkbook w;
    FillStore(w, 60);
    SetParameters(w, 1, 2, Value(40), Value(), Value(20));
    SetParameters(w, 2, 2, Value(size2), Value(), Value(window2));
    w.main().PutValue(6, 2, Value(u"ON"));
    w.Run(analysis::Main);
    ExpectScreenBackOn(w);
    EXPECT_FALSE(BlockEmpty(w, 3, 4, 5, 12));  // stage 1 is written in every case
    EXPECT_EQ(Shown(w).size(), rows2 == 0 ? 1u : 0u);
    EXPECT_EQ(BlockEmpty(w, 9, 4, 11, 12), rows2 == 0);
    EXPECT_TRUE(BlockEmpty(w, 3 + rows2, 20, 100, 22));
    if (rows2 == 0) {
      EXPECT_EQ(Shown(w), std::vector<std::string>{kCheckParameters2});
      continue;
    }
    const int common = std::min(rows2, 19);  // same draws, same seeds
    EXPECT_EQ(Block(w, 3, 20, 2 + common, 22), Block(w, 3, 16, 2 + common, 18));
    if (window2 == 20) {
      EXPECT_EQ(Block(w, 9, 4, 11, 12), Block(w, 3, 4, 5, 12));
    }
    EXPECT_EQ(At(w, 9, 12), At(w, 3, 12));  // same newest draw, same method 1 set
  }
}

TEST_F(MainAnalysisTest, UnusableParametersShowTheStageMessage) {
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

TEST_F(MainAnalysisTest, KindRowSixPositions) {
  // The seed ends with the position's text; position 7 is past the result,
  // so every draw is a hit.
  const std::pair<Value, std::u16string> cases[] = {{Value(7), u"7"},
                                                    {Value(u"7"), u"7"},
                                                    {Value(), u""},
                                                    {Value(3), u"3"},
                                                    {Value(u"abc"), u"abc"}};
  for (const auto& [position, suffix] : cases) {
    BoundWorkbook w;
    FillStore(w, 40, 100);
    SetParameters(w, 1, 6, Value(5), position, Value(30));
    w.Run(analysis::Main);
    ASSERT_TRUE(Shown(w).empty());
    if (suffix == u"7") {
      EXPECT_EQ(Block(w, 3, 9, 3, 10), (std::vector<Value>{29, Value()}));
    }
    EXPECT_EQ(At(w, 3, 12),
              Value(numbersets::BuildDigitSet(u"pp1100" + At(w, 17, 2).text() + suffix, 5)));
  }
}

TEST_F(MainAnalysisTest, RepeatedKindNamesOfDifferentWidthsAreRefused) {
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

TEST_F(MainAnalysisTest, StoreFilledToRow65000) {
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

TEST_F(MainAnalysisTest, FailureStillRestoresTheScreen) {
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
    try {
      w.Run(analysis::Main);
      ADD_FAILURE() << "no failure";
    } catch (const CommandError& e) {
      EXPECT_EQ(e.number(), number);
    }
    EXPECT_TRUE(w.app->screen_updating());
    if (!nothing_written) ExpectScreenBackOn(w);
    if (*fail == '\0') {  // written before the failure
      EXPECT_FALSE(BlockEmpty(w, 3, 4, 5, 12));
    }
    if (nothing_written) {
      EXPECT_TRUE(BlockEmpty(w, 3, 4, 5, 12));
    }
  }
}

TEST_F(MainAnalysisTest, SameOutputsWhateverTheThreadCount) {
  auto run = [](int threads, int kind2, const char16_t* position2) {
    BoundWorkbook w;
    w.workers = threads;
    FillStore(w, 300, 24123, {});
    const char16_t* odd[] = {u"1234", u"", u"12a45", u"7", u"00000"};
    for (int i = 0; i < 5; ++i) w.main().PutValue(20 + i * 7, 2, Value(odd[i]));
    SetParameters(w, 1, 4, Value(520), Value(), Value(300));
    SetParameters(w, 2, kind2, Value(9), Value(position2), Value(250));
    w.main().PutValue(6, 2, Value(u"ON"));
    w.Run(analysis::Main);
    auto first = Block(w, 1, 4, 302, 22);
    w.Run(analysis::Main);  // a second run on the same workbook gives the same again
    EXPECT_EQ(Block(w, 1, 4, 302, 22), first);
    return first;
  };
  for (const auto& [kind2, position2] :
       std::vector<std::pair<int, const char16_t*>>{{6, u"xyz"}, {6, u"2"}, {1, u""}}) {
    const auto one = run(1, kind2, position2);
    EXPECT_EQ(run(2, kind2, position2), one);
    EXPECT_EQ(run(7, kind2, position2), one);
  }
}

}  // namespace
}  // namespace kelvora
