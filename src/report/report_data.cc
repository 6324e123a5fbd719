#include "report/report_data.h"

#include <cmath>
#include <cstdio>
#include <future>

#include "analysis/chance.h"
#include "analysis/gan.h"
#include "analysis/worker_pool.h"
#include "host/convert.h"
#include "host/layout.h"
#include "report/json.h"

namespace kelvora::report {

namespace {

using analysis::StageState;

// The marks Main wrote for a stage, oldest tested draw first.
std::array<std::string, 3> Hits(const host::Table& marks, const layout::Stage& stage,
                                int64_t tested) {
  std::array<std::string, 3> hits;
  for (int k = 0; k < 3; ++k) {
    std::string& h = hits[static_cast<size_t>(k)];
    h.reserve(static_cast<size_t>(std::max<int64_t>(tested, 0)));
    for (int32_t i = static_cast<int32_t>(tested); i >= 1; --i)
      h.push_back(analysis::MarkedIn(marks, stage, k + 1, i) ? '1' : '0');
  }
  return hits;
}

std::string Quoted(const std::string& ascii) { return "\"" + ascii + "\""; }

// Every size's rate minus its chance rate per method, and the half width
// of the 95 % band of chance at that size.
std::string SweepJson(const std::optional<analysis::SizeSweep>& sweep) {
  if (!sweep) return "null";
  std::string sizes, band, methods[3];
  for (const analysis::SweepRow& r : sweep->rows) {
    std::string& m = methods[r.method - 1];
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", r.rate - r.chance);
    m += (m.empty() ? "" : ",") + std::string(buf);
    if (r.method != 1) continue;
    sizes += (sizes.empty() ? "" : ",") + std::to_string(r.size);
    std::snprintf(buf, sizeof buf, "%.4g",
                  1.96 * std::sqrt(r.chance * (1 - r.chance) / sweep->tested));
    band += (band.empty() ? "" : ",") + std::string(buf);
  }
  return "{\"sizes\": [" + sizes + "], \"band\": [" + band + "], \"rate_minus_chance\": [[" +
         methods[0] + "], [" + methods[1] + "], [" + methods[2] + "]]}";
}

template <typename Get>
std::string List(size_t n, const Get& get) {
  std::string s = "[";
  for (size_t i = 0; i < n; ++i) s += (i ? "," : "") + std::to_string(get(i));
  return s + "]";
}

// The gans and counts of the 100 endings, the digit tables and their tests.
std::string GanJson(const analysis::GanReport& g) {
  auto ending = [&](size_t e) -> const analysis::EndingStats& { return g.endings[e]; };
  return "{\"last\": " + std::to_string(g.last) + ", \"draws\": " + std::to_string(g.draws) +
         ", \"current_gan\": " + List(100, [&](size_t e) { return ending(e).current_gan; }) +
         ", \"longest_gan\": " + List(100, [&](size_t e) { return ending(e).longest_gan; }) +
         ", \"longest_gan_95\": [" + std::to_string(g.longest_gan_low) + ", " +
         std::to_string(g.longest_gan_high) +
         "], \"counts\": " + List(100, [&](size_t e) { return ending(e).count; }) +
         ", \"expected\": " + JsonNumber(g.expected) +
         ", \"dau\": " + List(10, [&](size_t i) { return g.dau.counts[i]; }) +
         ", \"duoi\": " + List(10, [&](size_t i) { return g.duoi.counts[i]; }) +
         ", \"tong\": " + List(10, [&](size_t i) { return g.tong.counts[i]; }) +
         ", \"chi2_p\": {\"endings\": " + JsonNumber(g.chi2_p) +
         ", \"dau\": " + JsonNumber(g.dau.chi2_p) + ", \"duoi\": " + JsonNumber(g.duoi.chi2_p) +
         ", \"tong\": " + JsonNumber(g.tong.chi2_p) +
         "}, \"max_current_gan_p\": " + JsonNumber(g.max_current_gan_p) +
         ", \"verdict\": " + JsonString(g.verdict) + "}";
}

const char* StateName(StageState s) {
  switch (s) {
    case StageState::kCurrent:
      return "current";
    case StageState::kStale:
      return "stale";
    case StageState::kNotRun:
      break;
  }
  return "not_run";
}

}  // namespace

EndingGrid CountEndings(const host::Table& block) {
  EndingGrid g;
  for (const int8_t e : analysis::EndingsOf(block)) {
    ++g.counts[static_cast<size_t>(e)];
    ++g.total;
  }
  g.expected = static_cast<double>(g.total) / 100;
  if (g.total > 0) {
    for (int64_t c : g.counts) {
      const double d = static_cast<double>(c) - g.expected;
      g.chi2 += d * d / g.expected;
    }
    g.chi2_p = analysis::ChiSquareTail(g.chi2, 99);
  }
  return g;
}

std::optional<ReportData> GatherReport(host::Session& session, const std::u16string& title) {
  const analysis::BookView book = analysis::ReadBook(session);
  const host::Table first_table = book.MethodTable(layout::kStage1);
  if (first_table(1, 1).IsEmpty()) return std::nullopt;

  ReportData d;
  d.title = title;
  d.heading = book.At(layout::kHeading);
  const host::Table& block = book.store();
  d.draws = block.rows();
  d.newest_draw = book.NewestRow(layout::kStoreDrawCol);
  if (block.rows() > 0) d.oldest_draw = block(block.rows(), 1);
  d.chance = analysis::AssessAgainstChance(book);
  // The two stages' sweeps run side by side, and beside the rest of the
  // gathering: the steps of one that leave the workers idle (its plan, its
  // tests against chance) are filled by the other's walks.
  auto sweep = [&](int s) {
    return analysis::SweepStageSizes(book, s == 0 ? layout::kStage1 : layout::kStage2, std::nullopt,
                                     session.workers)
        .sweep;
  };
  std::array<std::future<std::optional<analysis::SizeSweep>>, 2> sweeps;
  for (int s = 0; s < 2; ++s) {
    if (d.chance.stages[static_cast<size_t>(s)].state != StageState::kCurrent) continue;
    sweeps[static_cast<size_t>(s)] = analysis::StartTask(sweep, s);
  }
  // The marks are read on this thread, while the sweeps run.
  const host::Table marks = analysis::ReadMarks(session, book);
  d.endings = CountEndings(block);
  d.gan = analysis::AssessGan(block, kGanLast);
  for (int s = 0; s < 2; ++s) {
    const layout::Stage& cells = s == 0 ? layout::kStage1 : layout::kStage2;
    StageReport& st = d.stages[static_cast<size_t>(s)];
    st.table = s == 0 ? first_table : book.MethodTable(cells);
    const host::Value& kind = book.At(cells.kind);
    st.kind = kind.IsError() ? u"" : host::ToText(kind);
    st.size = book.At(cells.size);
    st.position = book.At(cells.position);
    const analysis::StageChance& chance = d.chance.stages[static_cast<size_t>(s)];
    if (chance.state == StageState::kCurrent)
      st.hits = Hits(marks, cells, chance.methods[0].tested);
  }
  // Taken in stage order, so that a failure of the first is the one reported.
  for (int s = 0; s < 2; ++s) {
    if (sweeps[static_cast<size_t>(s)].valid())
      d.stages[static_cast<size_t>(s)].sweep = sweeps[static_cast<size_t>(s)].get();
  }
  for (int i = 1; i <= 6; ++i) d.sets[static_cast<size_t>(i - 1)] = book.At(layout::OutputCell(i));
  return d;
}

std::string ReportDataJson(const ReportData& d) {
  const BookJsonHead head{
      d.title, d.heading, d.draws, d.newest_draw, {d.stages[0].table, d.stages[1].table}};
  std::string stages = "[";
  for (int s = 0; s < 2; ++s) {
    const StageReport& st = d.stages[static_cast<size_t>(s)];
    const analysis::StageChance& chance = d.chance.stages[static_cast<size_t>(s)];
    stages += std::string(s ? ",\n" : "\n") + "    {\"stage\": " + std::to_string(s + 1) +
              ", \"state\": " + Quoted(StateName(chance.state)) +
              ", \"kind\": " + JsonString(st.kind) + ", \"size\": " + JsonValue(st.size) +
              ", \"position\": " + JsonValue(st.position) + ", \"tested\": " +
              std::to_string(chance.state == StageState::kCurrent ? chance.methods[0].tested : 0) +
              ", \"hits\": [" + Quoted(st.hits[0]) + ", " + Quoted(st.hits[1]) + ", " +
              Quoted(st.hits[2]) + "], \"sweep\": " + SweepJson(st.sweep) + "}";
  }
  stages += "\n  ]";
  std::string endings = "{\"counts\": [";
  for (size_t i = 0; i < d.endings.counts.size(); ++i)
    endings += (i ? "," : "") + std::to_string(d.endings.counts[i]);
  endings += "], \"total\": " + std::to_string(d.endings.total) +
             ", \"expected\": " + JsonNumber(d.endings.expected) +
             ", \"chi2\": " + JsonNumber(d.endings.chi2) +
             ", \"chi2_p\": " + JsonNumber(d.endings.chi2_p) + "}";
  std::string sets = "[";
  for (size_t i = 0; i < d.sets.size(); ++i) sets += (i ? ", " : "") + JsonValue(d.sets[i]);
  sets += "]";
  return BookJson(
      head, d.chance, {{"oldest_draw", JsonValue(d.oldest_draw)}},
      {{"stages", stages}, {"endings", endings}, {"gan", GanJson(d.gan)}, {"sets", sets}});
}

}  // namespace kelvora::report
