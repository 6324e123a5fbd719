#include "report/report_data.h"

#include <cmath>
#include <cstdio>

#include "analysis/chance.h"
#include "analysis/main_analysis.h"
#include "host/convert.h"
#include "host/layout.h"
#include "intake/draw_check.h"
#include "intake/result_store.h"
#include "report/json.h"

namespace kelvora::report {

namespace {

using analysis::StageState;

// The marks Main wrote for a stage: "X" in the column of a method where its
// tested draw was a hit, newest first; returned oldest first.
std::array<std::string, 3> ReadHits(host::Worksheet& sheet, const layout::Stage& stage,
                                    int64_t tested) {
  std::array<std::string, 3> hits;
  if (tested < 1) return hits;
  const int32_t first_col = stage.marks_with_draw_numbers ? stage.marks.col + 1 : stage.marks.col;
  const layout::Block block{{stage.marks.row, first_col},
                            {stage.marks.row + static_cast<int32_t>(tested) - 1, first_col + 2}};
  const host::Table marks = sheet.GetRange(layout::A1(block))->GetValues();
  for (int k = 0; k < 3; ++k) {
    std::string& h = hits[static_cast<size_t>(k)];
    h.reserve(static_cast<size_t>(tested));
    for (int32_t r = marks.rows(); r >= 1; --r) {
      const host::Value& v = marks(r, k + 1);
      h.push_back(v.IsText() && v.text() == u"X" ? '1' : '0');
    }
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
  for (int32_t r = 1; r <= block.rows(); ++r) {
    if (!intake::IsFiveDigitResult(block(r, 2))) continue;
    const std::u16string text = host::ToText(block(r, 2));
    ++g.counts[static_cast<size_t>((text[3] - u'0') * 10 + (text[4] - u'0'))];
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
  host::Worksheet& sheet = session.MainSheet();
  auto read = [&](layout::Cell c) { return sheet.GetRange(layout::A1(c))->GetValue(); };
  const host::Table first_table =
      sheet.GetRange(layout::A1(layout::MethodTable(layout::kStage1)))->GetValues();
  if (first_table(1, 1).IsEmpty()) return std::nullopt;

  ReportData d;
  d.title = title;
  d.heading = read(layout::kHeading);
  const int32_t last = intake::StoreLastRow(sheet);
  const host::Table block =
      last >= layout::kStoreFirstRow ? analysis::ReadDrawBlock(sheet, last) : host::Table(0, 2);
  d.draws = block.rows();
  if (block.rows() > 0) {
    d.newest_draw = block(1, 1);
    d.oldest_draw = block(block.rows(), 1);
  }
  d.endings = CountEndings(block);
  d.gan = analysis::AssessGan(block, kGanLast);
  d.chance = analysis::AssessAgainstChance(session);
  for (int s = 0; s < 2; ++s) {
    const layout::Stage& cells = s == 0 ? layout::kStage1 : layout::kStage2;
    StageReport& st = d.stages[static_cast<size_t>(s)];
    st.table =
        s == 0 ? first_table : sheet.GetRange(layout::A1(layout::MethodTable(cells)))->GetValues();
    const host::Value kind = read(cells.kind);
    st.kind = kind.IsError() ? u"" : host::ToText(kind);
    st.size = read(cells.size);
    st.position = read(cells.position);
    const analysis::StageChance& chance = d.chance.stages[static_cast<size_t>(s)];
    if (chance.state == StageState::kCurrent) {
      st.hits = ReadHits(sheet, cells, chance.methods[0].tested);
      st.sweep = analysis::SweepStageSizes(session, cells, std::nullopt).sweep;
    }
  }
  for (int i = 1; i <= 6; ++i) d.sets[static_cast<size_t>(i - 1)] = read(layout::OutputCell(i));
  return d;
}

std::string ReportDataJson(const ReportData& d) {
  std::string o = "{\n  \"workbook\": " + JsonString(d.title) + ",\n";
  o += "  \"heading\": " + JsonValue(d.heading) + ",\n";
  o += "  \"stored_draws\": " + std::to_string(d.draws) + ",\n";
  o += "  \"newest_draw\": " + JsonValue(d.newest_draw) + ",\n";
  o += "  \"oldest_draw\": " + JsonValue(d.oldest_draw) + ",\n";
  o += "  \"methods\": " + MethodsJson(d.stages[0].table, d.chance.stages[0], 1) + ",\n";
  o += "  \"methods_2\": " + MethodsJson(d.stages[1].table, d.chance.stages[1], 2) + ",\n";
  bool stale = false;
  for (const auto& st : d.chance.stages) stale = stale || st.state == StageState::kStale;
  o += std::string("  \"rerun_main\": ") + (stale ? "true" : "false") + ",\n";
  o += "  \"store_quality\": " + StoreQualityJson(d.chance.quality) + ",\n";
  o += "  \"stages\": [";
  for (int s = 0; s < 2; ++s) {
    const StageReport& st = d.stages[static_cast<size_t>(s)];
    const analysis::StageChance& chance = d.chance.stages[static_cast<size_t>(s)];
    o += std::string(s ? ",\n" : "\n") + "    {\"stage\": " + std::to_string(s + 1) +
         ", \"state\": " + Quoted(StateName(chance.state)) + ", \"kind\": " + JsonString(st.kind) +
         ", \"size\": " + JsonValue(st.size) + ", \"position\": " + JsonValue(st.position) +
         ", \"tested\": " +
         std::to_string(chance.state == StageState::kCurrent ? chance.methods[0].tested : 0) +
         ", \"hits\": [" + Quoted(st.hits[0]) + ", " + Quoted(st.hits[1]) + ", " +
         Quoted(st.hits[2]) + "], \"sweep\": " + SweepJson(st.sweep) + "}";
  }
  o += "\n  ],\n";
  o += "  \"endings\": {\"counts\": [";
  for (size_t i = 0; i < d.endings.counts.size(); ++i)
    o += (i ? "," : "") + std::to_string(d.endings.counts[i]);
  o += "], \"total\": " + std::to_string(d.endings.total) +
       ", \"expected\": " + JsonNumber(d.endings.expected) +
       ", \"chi2\": " + JsonNumber(d.endings.chi2) +
       ", \"chi2_p\": " + JsonNumber(d.endings.chi2_p) + "},\n";
  o += "  \"gan\": " + GanJson(d.gan) + ",\n";
  o += "  \"sets\": [";
  for (size_t i = 0; i < d.sets.size(); ++i) o += (i ? ", " : "") + JsonValue(d.sets[i]);
  o += "]\n}";
  return o;
}

}  // namespace kelvora::report
