#include "analysis/chance_report.h"

#include <cmath>
#include <cstdio>

#include "analysis/backtest.h"
#include "analysis/bet_kinds.h"
#include "analysis/main_analysis.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/layout.h"
#include "text/telex.h"
#include "text/utf.h"

namespace kelvora::analysis {

namespace {

// The texts, stored in Telex like every text of the engine.
constexpr char16_t kWithinChance[] = u"khoong khasc ngaaxu nhieen";
constexpr char16_t kBeyondChance[] = u"khasc ngaaxu nhieen";
constexpr char16_t kStale[] =
    u"Thoong soos hoawjc kho duwx lieeju ddax ddoori sau laafn chajy Main truwowsc; haxy chajy "
    u"laji Main";

// A whole count of a method-table cell: an empty cell is 0; anything else
// that is not a whole number is nothing.
std::optional<int64_t> Count(const host::Value& v) {
  if (v.IsEmpty()) return 0;
  if (!v.IsNumber() || v.number() < 0 || v.number() != std::floor(v.number())) return std::nullopt;
  return static_cast<int64_t>(v.number());
}

// The stage's record against chance, or nothing when its outputs are not
// those of the parameters and store in the workbook now.
std::optional<std::array<MethodChance, 3>> MeasureStage(const BookView& book,
                                                        const layout::Stage& cells,
                                                        const host::Table& table) {
  const host::Table& block = book.store();
  if (block.rows() < 2) return std::nullopt;
  const auto run = PrepareStage(book, cells).run;
  if (!run) return std::nullopt;
  const auto p0 = ChanceRate(run->kind_row, run->params.setSize, run->params.positionOrSuffix);
  if (!p0) return std::nullopt;
  std::array<MethodChance, 3> out;
  for (int k = 1; k <= 3; ++k) {
    const auto hits = Count(table(k, 6));
    const auto misses = Count(table(k, 7));
    const auto longest_miss = Count(table(k, 4));
    if (table(k, 1) != host::Value(k) || !hits || !misses || !longest_miss) return std::nullopt;
    if (*hits + *misses != run->n) return std::nullopt;
    // The set for the coming draw depends on the kind, size, position or
    // suffix and the newest draw: equal sets mean the same run.
    if (table(k, 9).IsError() ||
        host::ToText(table(k, 9)) != ComingSet(block, run->params, run->kind_row, k)) {
      return std::nullopt;
    }
    MethodChance& m = out[static_cast<size_t>(k - 1)];
    m.method = k;
    m.hits = *hits;
    m.tested = run->n;
    m.rate = static_cast<double>(m.hits) / static_cast<double>(m.tested);
    m.chance_rate = *p0;
    m.expected_hits = static_cast<double>(m.tested) * *p0;
    m.p_value = BinomialTwoSidedP(m.hits, m.tested, *p0);
    m.interval95 = WilsonInterval95(m.hits, m.tested);
    m.longest_miss_run_p = LongestMissRunTail(m.tested, *p0, *longest_miss, true);
    if (const auto current = Count(table(k, 5)); current && !table(k, 5).IsEmpty())
      m.current_miss_run_p = MissRunTail(*current, *p0);
  }
  return out;
}

}  // namespace

ChanceReport AssessAgainstChance(const BookView& book) {
  ChanceReport report;
  report.quality = CheckStoreQuality(book.store());
  const bool second_on = book.SecondStageOn();
  std::vector<MethodChance*> shown;
  for (int s = 0; s < 2; ++s) {
    const layout::Stage& cells = s == 0 ? layout::kStage1 : layout::kStage2;
    StageChance& stage = report.stages[static_cast<size_t>(s)];
    const host::Table table = book.MethodTable(cells);
    if (table(1, 1).IsEmpty()) continue;
    stage.state = StageState::kStale;
    if (s == 1 && !second_on) continue;  // the next Main clears it
    std::optional<std::array<MethodChance, 3>> methods;
    try {
      methods = MeasureStage(book, cells, table);
    } catch (const CommandError&) {
      // A value the run could not read: the outputs cannot be matched.
    }
    if (!methods) continue;
    stage.state = StageState::kCurrent;
    stage.methods = *methods;
    for (MethodChance& m : stage.methods) shown.push_back(&m);
  }
  std::vector<double> p_values;
  for (const MethodChance* m : shown) p_values.push_back(m->p_value);
  const std::vector<double> adjusted = HolmAdjust(p_values);
  for (size_t i = 0; i < shown.size(); ++i) shown[i]->p_value_holm = adjusted[i];
  report.methods_tested = static_cast<int>(shown.size());
  return report;
}

std::u16string ChanceVerdict(const MethodChance& method, const StoreQuality& quality) {
  if (!quality.comparable_with_chance()) return NotComparableVerdict();
  if (method.p_value_holm >= 0.05) return TelexToUnicode(kWithinChance);
  char p[32];
  std::snprintf(p, sizeof p, " (p = %.2g)", method.p_value_holm);
  return TelexToUnicode(kBeyondChance) + Ascii(p);
}

std::u16string StaleStageNotice() { return TelexToUnicode(kStale); }

}  // namespace kelvora::analysis
