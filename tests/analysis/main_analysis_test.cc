#include "analysis/main_analysis.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analysis/worker_pool.h"
#include "host/error.h"
#include "host/fault_injection.h"
#include "numbersets/number_sets.h"
#include "test_support.h"
#include "text/message.h"

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

bool BlockEmpty(BoundWorkbook& w, int top, int left, int bottom, int right) {
  for (int r = top; r <= bottom; ++r)
    for (int c = left; c <= right; ++c)
      if (!At(w, r, c).IsEmpty()) return false;
  return true;
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

class MainAnalysisTest : public ::testing::Test {
 protected:
  void TearDown() override { analysis::SetAnalysisThreads(0); }
};

TEST_F(MainAnalysisTest, StoreSizeAtTheMinimum) {
  struct Case {
    int draws;  // last row = 16 + draws
    bool runs;
  } cases[] = {{0, false}, {33, false}, {34, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.draws);
    BoundWorkbook w;
    FillStore(w, c.draws);
    SetParameters(w, 1, 2, Value(40), Value(), Value(100));
    FillOldOutputs(w);
    w.sub->Main();
    ExpectScreenBackOn(w);
    EXPECT_TRUE(BlockEmpty(w, 3, 4, 5, 12) == !c.runs);
    EXPECT_TRUE(BlockEmpty(w, 9, 4, 11, 12));
    EXPECT_TRUE(At(w, 10002, 15).IsEmpty());
    EXPECT_EQ(At(w, 12002, 15), Value(u"old"));
    if (!c.runs) {
      EXPECT_EQ(Shown(w), std::vector<std::string>{kNotEnoughData});
      EXPECT_EQ(w.platform.messages.shown()[0].style, 64 + 4096);
      EXPECT_TRUE(BlockEmpty(w, 3, 15, 40, 22));
      EXPECT_EQ(At(w, 1, 4), Value(u"old heading"));
      continue;
    }
    EXPECT_TRUE(Shown(w).empty());
    // n = min(34, 100) - 1 = 33 marks: O3:R35.
    EXPECT_EQ(At(w, 3, 15), Value(24123));
    EXPECT_EQ(At(w, 35, 15), Value(24123 - 32));
    EXPECT_TRUE(At(w, 36, 15).IsEmpty());
    int hits = 0;
    for (int r = 3; r <= 35; ++r) hits += At(w, r, 16) == Value(u"X");
    const Value& h = At(w, 3, 9);
    const Value& m = At(w, 3, 10);
    EXPECT_EQ((h.IsEmpty() ? 0 : h.number()) + (m.IsEmpty() ? 0 : m.number()), 33);
    EXPECT_EQ(h.IsEmpty() ? 0 : h.number(), hits);
    EXPECT_EQ(Utf16ToUtf8(At(w, 1, 4).text()), "KẾT QUẢ DỰ ĐOÁN CHO KÌ: 24124");
  }
}

TEST_F(MainAnalysisTest, WindowOfTwoTestsOneDraw) {
  BoundWorkbook w;
  FillStore(w, 40, 5000);
  SetParameters(w, 1, 5, Value(300), Value(), Value(2));
  w.sub->Main();
  EXPECT_EQ(At(w, 3, 15), Value(5000));
  EXPECT_TRUE(At(w, 4, 15).IsEmpty());
  for (int row = 3; row <= 5; ++row) {
    const bool hit = At(w, 3, 16 + row - 3) == Value(u"X");
    EXPECT_EQ(At(w, row, 4), Value(row - 2));
    EXPECT_EQ(At(w, row, 5), Value(hit ? 1 : 0));  // longest hit run
    EXPECT_EQ(At(w, row, 6), Value(hit ? 1 : 0));  // current hit run
    EXPECT_EQ(At(w, row, 7), Value(hit ? 0 : 1));  // longest miss run
    EXPECT_EQ(At(w, row, 8), hit ? Value(0) : Value());
    EXPECT_EQ(At(w, row, 9), hit ? Value(1) : Value());
    EXPECT_EQ(At(w, row, 10), hit ? Value() : Value(1));
    EXPECT_EQ(At(w, row, 11), Value(hit ? 100 : 0));
  }
}

TEST_F(MainAnalysisTest, SecondStageOnlyForExactlyOn) {
  struct Case {
    Value switch_cell;
    bool runs;
  } cases[] = {{Value(u"ON"), true},
               {Value(u"on"), false},
               {Value(u" ON"), false},
               {Value(u"OFF"), false},
               {Value(), false}};
  for (const auto& c : cases) {
    BoundWorkbook w;
    FillStore(w, 60);
    SetParameters(w, 2, 3, Value(100), Value(), Value(30));
    w.main().PutValue(6, 2, c.switch_cell);
    w.sub->Main();
    EXPECT_EQ(!BlockEmpty(w, 9, 4, 11, 12), c.runs);
    EXPECT_FALSE(BlockEmpty(w, 3, 4, 5, 12));
    ExpectScreenBackOn(w);
  }
}

TEST_F(MainAnalysisTest, SetTextsStayText) {
  // Sets of one number ("07"-like) and of two ("123,456"-like) read as
  // numbers unless the cells keep them as text.
  BoundWorkbook w;
  FillStore(w, 40, 24123);
  SetParameters(w, 1, 2, Value(1), Value(), Value(10));
  SetParameters(w, 2, 5, Value(2), Value(), Value(10));
  w.main().PutValue(6, 2, Value(u"ON"));
  w.sub->Main();
  const std::u16string newest = u"24123" + At(w, 17, 2).text();
  for (int k = 1; k <= 3; ++k) {
    const std::u16string seed = u"pp" + Ascii(std::to_string(k)) + newest;
    EXPECT_EQ(At(w, 2 + k, 12), Value(numbersets::BuildPairSet(seed, 1)));
    EXPECT_EQ(At(w, 8 + k, 12), Value(numbersets::BuildTripleSet(seed, 2)));
    EXPECT_EQ(At(w, 8 + k, 12).text().size(), 7u);
  }
  // And the copy commands hand them on unchanged.
  w.sub->Copy1();
  EXPECT_EQ(w.platform.clipboard.text(), At(w, 3, 12).text());
  w.sub->Copy6();
  EXPECT_EQ(w.platform.clipboard.text(), At(w, 11, 12).text());
}

// Whether `number` is one of the numbers of a set text.
bool InSet(const std::u16string& set, const std::u16string& number) {
  size_t from = 0;
  while (from <= set.size()) {
    const size_t comma = std::min(set.find(u',', from), set.size());
    if (set.substr(from, comma - from) == number) return true;
    from = comma + 1;
  }
  return false;
}

TEST_F(MainAnalysisTest, PinnedOutputsOfASmallStore) {
  // 34 draws, numbers 1001 (oldest) to 1034 (newest). The results of the 10
  // newest draws are chosen so that each method's outcomes follow a planned
  // pattern, newest tested draw first, under kind row 2 (last two digits)
  // with sets of 50.
  const char* planned[3] = {"MMMHMMHMMM", "HHHHHHHHHH", "HHMMHHHMHM"};
  std::vector<std::u16string> results(34, u"98765");  // results[i - 1]: draw row i
  results[10] = u"55555";
  auto seed = [&](int k, int row) {
    return u"pp" + Ascii(std::to_string(k)) + Ascii(std::to_string(1035 - row)) +
           results[static_cast<size_t>(row - 1)];
  };
  for (int i = 10; i >= 1; --i) {
    std::u16string sets[3];
    for (int k = 1; k <= 3; ++k) sets[k - 1] = numbersets::BuildPairSet(seed(k, i + 1), 50);
    bool found = false;
    for (int p = 0; p < 100 && !found; ++p) {
      const std::u16string pair = Ascii(std::string(1, char('0' + p / 10)) + char('0' + p % 10));
      bool fits = true;
      for (int k = 0; k < 3; ++k) fits &= InSet(sets[k], pair) == (planned[k][i - 1] == 'H');
      if (fits) {
        results[static_cast<size_t>(i - 1)] = u"123" + pair;
        found = true;
      }
    }
    ASSERT_TRUE(found) << i;
  }

  BoundWorkbook w;
  FillStore(w, 34, 1034, results);
  SetParameters(w, 1, 2, Value(50), Value(), Value(11));
  SetParameters(w, 2, 2, Value(50), Value(), Value(5));
  w.main().PutValue(6, 2, Value(u"ON"));
  FillOldOutputs(w);
  w.sub->Main();
  EXPECT_TRUE(Shown(w).empty());

  const Value e;
  struct Row {
    Value v[8];
  } stage1[3] = {
      {{1, 1, 0, 3, 3, 2, 8, 20.0}},
      {{2, 10, 10, 0, 0, 10, e, 100.0}},
      {{3, 3, 2, 2, 0, 6, 4, 60.0}},
  };
  // The second stage tests the 4 newest draws: MMMH, HHHH, HHMM.
  Row stage2[3] = {
      {{1, 1, 0, 0, 3, 1, 3, 25.0}},
      {{2, 4, 4, 0, 0, 4, e, 100.0}},
      {{3, 2, 2, 2, 0, 2, 2, 50.0}},
  };
  for (int k = 1; k <= 3; ++k) {
    const Value next(numbersets::BuildPairSet(seed(k, 1), 50));
    for (int c = 0; c < 8; ++c) {
      EXPECT_EQ(At(w, 2 + k, 4 + c), stage1[k - 1].v[c]) << "stage 1 method " << k << " col " << c;
      EXPECT_EQ(At(w, 8 + k, 4 + c), stage2[k - 1].v[c]) << "stage 2 method " << k << " col " << c;
    }
    EXPECT_EQ(At(w, 2 + k, 12), next);
    EXPECT_EQ(At(w, 8 + k, 12), next);
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
  struct Case {
    int kind2, size2, window2;
    int expected_rows2;  // mark rows in T:V, 0 when refused
  } cases[] = {
      {2, 40, 20, 19},   // equal to the first block
      {2, 40, 8, 7},     // smaller window: fewer rows
      {2, 40, 500, 59},  // a window beyond the store: all draws but one
      {2, 66, 20, 0},    // a size too large for the kind
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.window2);
    BoundWorkbook w;
    FillStore(w, 60);
    SetParameters(w, 1, 2, Value(40), Value(), Value(20));
    SetParameters(w, 2, c.kind2, Value(c.size2), Value(), Value(c.window2));
    w.main().PutValue(6, 2, Value(u"ON"));
    w.sub->Main();
    EXPECT_FALSE(BlockEmpty(w, 3, 4, 5, 12));  // stage 1 is written in every case
    if (c.expected_rows2 == 0) {
      EXPECT_EQ(Shown(w), std::vector<std::string>{kCheckParameters2});
      EXPECT_TRUE(BlockEmpty(w, 9, 4, 11, 12));
      EXPECT_TRUE(BlockEmpty(w, 3, 20, 100, 22));
      ExpectScreenBackOn(w);
      continue;
    }
    for (int r = 3; r <= 3 + c.expected_rows2 + 1; ++r) {
      const bool inside = r < 3 + c.expected_rows2;
      for (int k = 0; k < 3; ++k) {
        if (!inside) {
          EXPECT_TRUE(At(w, r, 20 + k).IsEmpty());
        } else if (r < 3 + 19) {
          EXPECT_EQ(At(w, r, 20 + k), At(w, r, 16 + k)) << r;  // same draws, same seeds
        }
      }
    }
    if (c.window2 == 20) {
      for (int k = 0; k < 3; ++k)
        for (int col = 4; col <= 12; ++col) EXPECT_EQ(At(w, 9 + k, col), At(w, 3 + k, col));
    }
    EXPECT_EQ(At(w, 9, 12), At(w, 3, 12));  // same newest draw, same method 1 set
  }
}

TEST_F(MainAnalysisTest, UnusableParametersShowTheStageMessage) {
  struct Case {
    int stage;
    int kind_row;
    Value size, position, window;
  } cases[] = {
      {1, 2, Value(u"abc"), Value(), Value(100)},  // size not a number
      {1, 2, Value(70000), Value(), Value(100)},   // beyond 16 bits
      {1, 2, Value(0), Value(), Value(100)},       // outside the kind's sizes
      {1, 2, Value(40), Value(), Value(u"x")},     // window not a number
      {1, 2, Value(40), Value(), Value(3e9)},      // beyond 32 bits
      {1, 2, Value(40), Value(), Value(1)},        // below 2
      {1, 2, Value(40), Value(), Value(1.4)},      // rounds to 1
      {1, 2, Value(40), Value(), Value(-5)},
      {1, 2, Value(40), Value(), Value::Error(2042)},
      {1, 6, Value(5), Value(u"0"), Value(100)},    // position below 1
      {1, 6, Value(5), Value(u"0.5"), Value(100)},  // rounds to 0
      {1, 6, Value(5), Value(-3), Value(100)},
      {2, 2, Value(u"abc"), Value(), Value(100)},
      {2, 3, Value(40), Value(), Value(1)},
      {2, 3, Value(40), Value(), Value(u"")},  // an empty text is no number
      {2, 6, Value(5), Value(u"0"), Value(100)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "stage " << c.stage << " kind " << c.kind_row);
    BoundWorkbook w;
    FillStore(w, 40);
    SetParameters(w, 1, 2, Value(40), Value(), Value(10));
    SetParameters(w, c.stage, c.kind_row, c.size, c.position, c.window);
    w.main().PutValue(6, 2, Value(u"ON"));
    w.main().PutValue(1, 4, Value(u"old heading"));
    EXPECT_NO_THROW(w.sub->Main());
    ExpectScreenBackOn(w);
    EXPECT_EQ(Shown(w),
              std::vector<std::string>{c.stage == 1 ? kCheckParameters : kCheckParameters2});
    EXPECT_TRUE(BlockEmpty(w, 9, 4, 11, 12));
    EXPECT_TRUE(BlockEmpty(w, 3, 20, 50, 22));
    if (c.stage == 1) {
      EXPECT_TRUE(BlockEmpty(w, 3, 4, 5, 12));
      EXPECT_TRUE(BlockEmpty(w, 3, 15, 50, 18));
      EXPECT_EQ(At(w, 1, 4), Value(u"old heading"));
    } else {
      EXPECT_FALSE(BlockEmpty(w, 3, 4, 5, 12));
      EXPECT_FALSE(At(w, 3, 15).IsEmpty());
    }
  }
}

TEST_F(MainAnalysisTest, KindRowSixPositions) {
  struct Case {
    Value position;
    bool all_hits;
  } cases[] = {{Value(7), true},
               {Value(u"7"), true},
               {Value(), false},
               {Value(3), false},
               {Value(u"abc"), false}};
  for (const auto& c : cases) {
    BoundWorkbook w;
    FillStore(w, 40, 100);
    SetParameters(w, 1, 6, Value(5), c.position, Value(30));
    w.sub->Main();
    ASSERT_TRUE(Shown(w).empty());
    if (c.all_hits) {
      EXPECT_EQ(At(w, 3, 9), Value(29));
      EXPECT_TRUE(At(w, 3, 10).IsEmpty());
    }
    // The seed ends with the position text.
    const std::u16string suffix =
        c.position.IsEmpty()  ? u""
        : c.position.IsText() ? c.position.text()
                              : Ascii(std::to_string(static_cast<int>(c.position.number())));
    EXPECT_EQ(At(w, 3, 12),
              Value(numbersets::BuildDigitSet(u"pp1100" + At(w, 17, 2).text() + suffix, 5)));
  }
}

TEST_F(MainAnalysisTest, RepeatedKindNamesOfDifferentWidthsAreRefused) {
  struct Case {
    int copy_from, copy_to;  // KieuDanh row whose name also goes into another row
    int size;
    bool refused;
  } cases[] = {
      {2, 6, 40, true},    // size checked for pairs, built as digits
      {2, 6, 5, true},     // even a size both would take
      {5, 6, 300, true},   // checked for triples, built as digits
      {1, 5, 40, false},   // both checks and builds take pairs (row 1 first)
      {3, 4, 300, false},  // same width
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.copy_from << "->" << c.copy_to);
    BoundWorkbook w;
    FillStore(w, 40);
    w.settings().PutValue(c.copy_to, 1, Value(KindName(c.copy_from)));
    SetParameters(w, 1, c.copy_from, Value(c.size), Value(), Value(10));
    w.sub->Main();
    EXPECT_EQ(Shown(w).size(), c.refused ? 1u : 0u);
    EXPECT_EQ(BlockEmpty(w, 3, 4, 5, 12), c.refused);
  }
}

TEST_F(MainAnalysisTest, StoreFilledToRow65000) {
  BoundWorkbook w;
  FillStore(w, 65000 - 16);
  SetParameters(w, 1, 2, Value(40), Value(), Value(6));
  SetParameters(w, 2, 5, Value(300), Value(), Value(5));
  w.main().PutValue(6, 2, Value(u"ON"));
  EXPECT_NO_THROW(w.sub->Main());
  EXPECT_TRUE(Shown(w).empty());
  EXPECT_FALSE(BlockEmpty(w, 9, 4, 11, 12));
  EXPECT_EQ(At(w, 7, 15), Value(24123 - 4));
  EXPECT_TRUE(At(w, 8, 15).IsEmpty());
}

TEST_F(MainAnalysisTest, FailureStillRestoresTheScreen) {
  BoundWorkbook w;
  FillStore(w, 40);
  SetParameters(w, 1, 2, Value(40), Value(), Value(10));
  w.main().PutValue(17, 1, Value(u"abc"));  // the heading cannot add 1 to it
  try {
    w.sub->Main();
    ADD_FAILURE() << "no failure";
  } catch (const CommandError& e) {
    EXPECT_EQ(e.number(), err::kTypeMismatch);
  }
  ExpectScreenBackOn(w);
  EXPECT_FALSE(BlockEmpty(w, 3, 4, 5, 12));  // written before the failure

  // A host that refuses a write: its error comes back, the screen is on.
  BoundWorkbook v;
  FillStore(v, 40);
  auto plan = std::make_shared<host::FaultPlan>();
  plan->Fail("Range.SetValues", 0, 1004, "protected");
  v.sub->Sup(host::WrapApplication(v.app, plan), host::WrapWorkbook(v.book, plan));
  v.app->clear_property_log();
  try {
    v.sub->Main();
    ADD_FAILURE() << "no failure";
  } catch (const CommandError& e) {
    EXPECT_EQ(e.number(), 1004);
  }
  ExpectScreenBackOn(v);

  // Alerts cannot be switched off: screen updating is switched on again.
  BoundWorkbook u;
  FillStore(u, 40);
  auto alerts = std::make_shared<host::FaultPlan>();
  alerts->Fail("Application.SetDisplayAlerts");
  u.sub->Sup(host::WrapApplication(u.app, alerts), host::WrapWorkbook(u.book, alerts));
  EXPECT_THROW(u.sub->Main(), CommandError);
  EXPECT_TRUE(u.app->screen_updating());
  EXPECT_TRUE(BlockEmpty(u, 3, 4, 5, 12));
}

TEST_F(MainAnalysisTest, SameOutputsWhateverTheThreadCount) {
  auto run = [](int threads, int kind2, const char16_t* position2) {
    analysis::SetAnalysisThreads(threads);
    BoundWorkbook w;
    std::vector<std::u16string> odd = {u"1234", u"", u"12a45", u"7", u"00000"};
    FillStore(w, 300, 24123, {});
    for (size_t i = 0; i < odd.size(); ++i)
      w.main().PutValue(20 + static_cast<int>(i) * 7, 2, Value(odd[i]));
    SetParameters(w, 1, 4, Value(520), Value(), Value(300));
    SetParameters(w, 2, kind2, Value(9), Value(position2), Value(250));
    w.main().PutValue(6, 2, Value(u"ON"));
    w.sub->Main();
    std::vector<Value> out;
    for (int r = 1; r <= 302; ++r)
      for (int c = 4; c <= 22; ++c) out.push_back(At(w, r, c));
    return out;
  };
  for (const auto& [kind2, position2] :
       std::vector<std::pair<int, const char16_t*>>{{6, u"xyz"}, {6, u"2"}, {1, u""}}) {
    const auto one = run(1, kind2, position2);
    EXPECT_EQ(run(2, kind2, position2), one);
    EXPECT_EQ(run(7, kind2, position2), one);
  }
  // And a second run on the same workbook gives the same again.
  analysis::SetAnalysisThreads(0);
  BoundWorkbook w;
  FillStore(w, 80);
  SetParameters(w, 1, 3, Value(100), Value(), Value(80));
  w.sub->Main();
  std::vector<Value> first;
  for (int r = 1; r <= 82; ++r)
    for (int c = 4; c <= 22; ++c) first.push_back(At(w, r, c));
  w.sub->Main();
  std::vector<Value> second;
  for (int r = 1; r <= 82; ++r)
    for (int c = 4; c <= 22; ++c) second.push_back(At(w, r, c));
  EXPECT_EQ(first, second);
}

}  // namespace
}  // namespace kelvora
