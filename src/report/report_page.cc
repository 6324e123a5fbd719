#include "report/report_page.h"

#include <cstdio>

#include "host/convert.h"
#include "host/layout.h"
#include "report/number_format.h"
#include "report/report_assets.h"
#include "text/markup_escape.h"
#include "text/utf.h"

namespace kelvora::report {

namespace {

using analysis::MethodChance;
using analysis::StageChance;
using analysis::StageState;

// How the page's data block begins; it tells the tool's own pages apart.
constexpr std::string_view kDataBlockStart =
    "<script type=\"application/json\" id=\"kelvora-data\">";

std::string Escape(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  AppendEscapedMarkup(out, utf8);
  return out;
}
std::string Escape(const std::u16string& text) { return Escape(Utf16ToUtf8(text)); }
std::string Escape(const host::Value& v) {
  return v.IsError() ? std::string("#ERROR") : Escape(host::ToText(v));
}

// Inline script text: "</" would end the element early.
std::string Inline(std::string_view text) {
  std::string out(text);
  for (size_t at = 0; (at = out.find("</", at)) != std::string::npos; at += 3)
    out.replace(at, 2, "<\\/");
  return out;
}

void Header(const ReportData& d, std::string& o) {
  o += "<header><h1>Báo cáo thống kê: " + Escape(d.title) + "</h1>\n";
  if (!d.heading.IsEmpty()) o += "<p class=\"meta\">" + Escape(d.heading) + "</p>\n";
  o += "<p class=\"meta\">Kho dữ liệu: " + std::to_string(d.draws) + " kỳ";
  if (d.draws > 0) {
    o += ", mới nhất " + Escape(d.newest_draw) + ", cũ nhất " + Escape(d.oldest_draw);
  }
  o += "</p>\n";
  if (!d.chance.quality.comparable_with_chance())
    o += "<p class=\"warning\">" + Escape(analysis::StoreQualityWarning(d.chance.quality)) +
         "</p>\n";
  o += "</header>\n";
}

void Method(int stage, const MethodChance& m, const analysis::StoreQuality& quality,
            std::string& o) {
  const std::string id = std::to_string(stage) + "-" + std::to_string(m.method);
  const int copy = layout::MethodNumber(stage, m.method);
  o += "<section class=\"method\"><h3>PP" + std::to_string(copy) + "</h3>\n<p class=\"stats\">";
  o += "<span>Tỷ lệ trúng " + PercentText(*m.rate) + " (" + std::to_string(m.hits) + "/" +
       std::to_string(m.tested) + ")</span>";
  o += "<span>Ngẫu nhiên " + PercentText(m.chance_rate) + "</span>";
  o += "<span>p = " + ProbabilityText(m.p_value) + "</span>";
  o += "<span>p Holm = " + ProbabilityText(m.p_value_holm) + "</span>";
  o += "<span>Khoảng 95% [" + PercentText(m.interval95.low) + ", " +
       PercentText(m.interval95.high) + "]</span>";
  o += "<span class=\"verdict\">" + Escape(analysis::ChanceVerdict(m, quality)) + "</span></p>\n";
  o += "<p class=\"caption\">Tỷ lệ trúng cộng dồn so với tỷ lệ ngẫu nhiên và dải 95%</p>\n";
  o += "<div class=\"chart\"><canvas id=\"rate-" + id + "\"></canvas></div>\n";
  o += "<p class=\"caption\">Trúng (đậm) và trượt (nhạt) từng kỳ, cũ → mới</p>\n";
  o += "<div class=\"chart strip\"><canvas id=\"strip-" + id + "\"></canvas></div>\n";
  o += "<p class=\"caption\">Độ dài các chuỗi trượt so với phân bố khi ngẫu nhiên</p>\n";
  o += "<div class=\"chart\"><canvas id=\"runs-" + id + "\"></canvas></div>\n</section>\n";
}

void Stage(const ReportData& d, int stage, std::string& o) {
  const StageChance& chance = d.chance.stages[static_cast<size_t>(stage - 1)];
  if (chance.state == StageState::kNotRun) return;
  const StageReport& st = d.stages[static_cast<size_t>(stage - 1)];
  o += "<h2>Xử lý " + std::to_string(stage) + ": " + Escape(st.kind) + ", " + Escape(st.size) +
       " số";
  if (chance.state == StageState::kCurrent)
    o += ", " + std::to_string(chance.methods[0].tested) + " kỳ xét";
  o += "</h2>\n";
  if (chance.state == StageState::kStale) {
    o += "<p class=\"notice\">" + Escape(analysis::StaleStageNotice()) + "</p>\n";
    return;
  }
  for (const MethodChance& m : chance.methods) Method(stage, m, d.chance.quality, o);
  if (st.sweep) {
    o += "<section class=\"method\"><h3>Mọi cỡ dàn</h3>\n<p class=\"caption\">Tỷ lệ trúng trừ "
         "tỷ lệ ngẫu nhiên ở mỗi cỡ dàn " +
         std::to_string(st.sweep->min_size) + ".." + std::to_string(st.sweep->max_size) +
         ", với dải ngẫu nhiên 95%</p>\n<div class=\"chart\"><canvas id=\"sweep-" +
         std::to_string(stage) + "\"></canvas></div>\n</section>\n";
  }
}

// A 10 by 10 table of counts by first and second digit, shaded by count;
// the numbers stay, so it reads on paper too.
void HeatGrid(const std::array<int64_t, 100>& counts, std::string& o) {
  int64_t most = 1;
  for (int64_t c : counts) most = std::max(most, c);
  o += "<table class=\"grid\"><tr><th>đầu \\ đuôi</th>";
  for (int b = 0; b < 10; ++b) o += "<th>" + std::to_string(b) + "</th>";
  o += "</tr>\n";
  for (int a = 0; a < 10; ++a) {
    o += "<tr><th>" + std::to_string(a) + "</th>";
    for (int b = 0; b < 10; ++b) {
      const int64_t c = counts[static_cast<size_t>(a * 10 + b)];
      const int shade = 255 - static_cast<int>(150 * c / most);
      const char* ink = shade < 150 ? "#fff" : "#000";
      o += "<td style=\"background:rgb(" + std::to_string(shade) + "," + std::to_string(shade) +
           "," + std::to_string(std::min(255, shade + 20)) + ");color:" + ink + "\">" +
           std::to_string(c) + "</td>";
    }
    o += "</tr>\n";
  }
  o += "</table>\n";
}

void Endings(const EndingGrid& g, std::string& o) {
  o += "<h2>Hai số cuối của giải đặc biệt</h2>\n";
  o += "<p class=\"meta\">" + std::to_string(g.total) + " kết quả; kỳ vọng mỗi ô " +
       FormatNumber("%.2f", g.expected) +
       "; kiểm định χ² (99 bậc tự do): χ² = " + FormatNumber("%.1f", g.chi2) +
       ", p = " + ProbabilityText(g.chi2_p) + "</p>\n";
  HeatGrid(g.counts, o);
}

// Gans and frequencies as results sites show them, with chance beside them.
void Gan(const analysis::GanReport& g, std::string& o) {
  if (g.draws == 0) return;
  o += "<h2>Gan và tần suất</h2>\n";
  o += "<p class=\"caption\">Gan hiện tại của từng số 00–99 (số kỳ chưa về); đường ngang: "
       "khoảng 95% của gan dài nhất một số khi ngẫu nhiên (" +
       std::to_string(g.longest_gan_low) + "–" + std::to_string(g.longest_gan_high) +
       " kỳ). Khả năng gan lớn nhất dài như vậy khi ngẫu nhiên: " +
       ProbabilityText(g.max_current_gan_p) + "</p>\n";
  o += "<div class=\"chart\"><canvas id=\"gan\"></canvas></div>\n";
  o += "<p class=\"meta\">Số lần về trong " + std::to_string(g.last) +
       " kỳ gần nhất; kỳ vọng "
       "mỗi ô " +
       FormatNumber("%.2f", g.expected) + ", χ² p = " + ProbabilityText(g.chi2_p) + "</p>\n";
  std::array<int64_t, 100> counts{};
  for (size_t e = 0; e < 100; ++e) counts[e] = g.endings[e].count;
  HeatGrid(counts, o);
  o += "<table class=\"grid\"><tr><th>Chữ số</th><th>Đầu</th><th>Đuôi</th><th>Tổng</th></tr>\n";
  for (size_t d = 0; d < 10; ++d) {
    o += "<tr><th>" + std::to_string(d) + "</th><td>" + std::to_string(g.dau.counts[d]) +
         "</td><td>" + std::to_string(g.duoi.counts[d]) + "</td><td>" +
         std::to_string(g.tong.counts[d]) + "</td></tr>\n";
  }
  o += "<tr><th>χ² p</th><td>" + ProbabilityText(g.dau.chi2_p) + "</td><td>" +
       ProbabilityText(g.duoi.chi2_p) + "</td><td>" + ProbabilityText(g.tong.chi2_p) +
       "</td></tr>\n";
  o += "</table>\n<p class=\"verdict\">" + Escape(g.verdict) + "</p>\n";
}

void Sets(const ReportData& d, std::string& o) {
  o += "<h2>Dàn số kỳ tới</h2>\n<ul class=\"sets\">\n";
  for (size_t i = 0; i < d.sets.size(); ++i) {
    const host::Value& v = d.sets[i];
    if (v.IsEmpty() || v.IsError()) continue;
    const std::string text = Escape(v);
    o += "<li>PP" + std::to_string(i + 1) + ": <code>" + text +
         "</code><button type=\"button\" data-copy=\"" + text + "\">Sao chép</button></li>\n";
  }
  o += "</ul>\n";
}

}  // namespace

std::string RenderReportPage(const ReportData& d) {
  std::string o;
  o.reserve(kChartJs.size() + 64 * 1024);
  o += "<!DOCTYPE html>\n<html lang=\"vi\">\n<head>\n<meta charset=\"utf-8\">\n";
  o += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  o += "<title>Báo cáo thống kê: " + Escape(d.title) + "</title>\n";
  o += "<style>\n" + std::string(kReportStyle) + "</style>\n</head>\n<body>\n";
  Header(d, o);
  Stage(d, 1, o);
  Stage(d, 2, o);
  Endings(d.endings, o);
  Gan(d.gan, o);
  Sets(d, o);
  // The data block: JSON, with "<" written as an escape so that no text of
  // the workbook can end the element.
  std::string json = ReportDataJson(d);
  for (size_t at = 0; (at = json.find('<', at)) != std::string::npos;)
    json.replace(at, 1, "\\u003c");
  o += std::string(kDataBlockStart) + "\n" + json + "\n</script>\n";
  o += "<script>\n" + Inline(kChartJs) + "\n</script>\n";
  o += "<script>\n" + Inline(kReportScript) + "\n</script>\n</body>\n</html>\n";
  return o;
}

bool IsReportPage(std::string_view bytes) { return bytes.find(kDataBlockStart) != bytes.npos; }

}  // namespace kelvora::report
