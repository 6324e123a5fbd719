#include "sweep.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <vector>

#include "analysis/size_sweep.h"
#include "exit_status.h"
#include "host/error.h"
#include "host/layout.h"
#include "i18n.h"
#include "report/json.h"
#include "report/number_format.h"
#include "terminal_table.h"
#include "text/utf.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

using analysis::SizeSweep;
using analysis::SweepRow;
using report::JsonNumber;
using report::JsonString;
using report::PercentText;
using report::ProbabilityText;

std::optional<int32_t> WholeNumber(std::string_view s) {
  int32_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

// "N" or "A..B".
std::optional<std::pair<int32_t, int32_t>> ParseSizes(const std::string& text) {
  const size_t dots = text.find("..");
  if (dots == std::string::npos) {
    const auto n = WholeNumber(text);
    if (!n) return std::nullopt;
    return std::pair{*n, *n};
  }
  const auto a = WholeNumber(std::string_view(text).substr(0, dots));
  const auto b = WholeNumber(std::string_view(text).substr(dots + 2));
  if (!a || !b || *a > *b) return std::nullopt;
  return std::pair{*a, *b};
}

// The row with the highest raw rate (the smallest size first on a tie).
const SweepRow& Best(const SizeSweep& sweep) {
  const SweepRow* best = &sweep.rows.front();
  for (const SweepRow& r : sweep.rows)
    if (r.rate > best->rate) best = &r;
  return *best;
}

void PrintText(const SizeSweep& sweep, int stage) {
  std::cout << Fill(_n("Stage {1}: {2}, {3} draw tested, set sizes {4}..{5}",
                       "Stage {1}: {2}, {3} draws tested, set sizes {4}..{5}",
                       static_cast<unsigned long>(sweep.tested)),
                    {stage, Utf16ToUtf8(sweep.kind), sweep.tested, sweep.min_size, sweep.max_size})
            << '\n';
  const bool comparable = sweep.quality.comparable_with_chance();
  if (!comparable) std::cout << Utf16ToUtf8(analysis::StoreQualityWarning(sweep.quality)) << '\n';
  auto percent = [](double v) { return LocalDecimal(PercentText(v)); };
  auto probability = [](double v) { return LocalDecimal(ProbabilityText(v)); };
  std::vector<std::vector<std::u16string>> rows = {
      {Utf8ToUtf16(_("Size")), u"PP", Utf8ToUtf16(_("Hits")), Utf8ToUtf16(_("Misses")),
       Utf8ToUtf16(_("Rate")), Utf8ToUtf16(_("Chance")), u"p", u"p Holm", u"q"}};
  for (const SweepRow& r : sweep.rows) {
    rows.push_back({Ascii(std::to_string(r.size)),
                    Ascii(std::to_string(layout::MethodNumber(stage, r.method))),
                    Ascii(std::to_string(r.hits)), Ascii(std::to_string(r.misses)),
                    Utf8ToUtf16(percent(r.rate)), Utf8ToUtf16(percent(r.chance)),
                    Utf8ToUtf16(probability(r.p_value)), Utf8ToUtf16(probability(r.p_value_holm)),
                    Utf8ToUtf16(probability(r.q_value))});
  }
  PrintTable(std::cout, rows, 0);
  const SweepRow& best = Best(sweep);
  const char* line =
      !comparable
          ? _("Highest rate: size {1}, PP{2}, {3} (chance {4}); not compared with chance, as the "
              "store's results are not all five digits")
      : best.p_value_holm >= 0.05
          ? _("Highest rate: size {1}, PP{2}, {3} (chance {4}); p Holm = {5}: no different from "
              "chance")
          : _("Highest rate: size {1}, PP{2}, {3} (chance {4}); p Holm = {5}: different from "
              "chance");
  std::cout << Fill(line, {best.size, layout::MethodNumber(stage, best.method), percent(best.rate),
                           percent(best.chance), probability(best.p_value_holm)})
            << '\n';
}

std::string RowJson(const SweepRow& r, int stage) {
  return "{\"size\": " + std::to_string(r.size) +
         ", \"method\": " + std::to_string(layout::MethodNumber(stage, r.method)) +
         ", \"hits\": " + std::to_string(r.hits) + ", \"misses\": " + std::to_string(r.misses) +
         ", \"rate\": " + JsonNumber(r.rate) + ", \"chance\": " + JsonNumber(r.chance) +
         ", \"p_value\": " + JsonNumber(r.p_value) +
         ", \"p_value_holm\": " + JsonNumber(r.p_value_holm) +
         ", \"q_value\": " + JsonNumber(r.q_value) + "}";
}

void PrintJson(const SizeSweep& sweep, int stage) {
  std::cout << "{\"stage\": " << stage << ", \"kind\": " << JsonString(sweep.kind)
            << ", \"window\": " << sweep.window << ", \"tested\": " << sweep.tested
            << ", \"store_quality\": " << report::StoreQualityJson(sweep.quality)
            << ", \"rows\": [";
  for (size_t i = 0; i < sweep.rows.size(); ++i)
    std::cout << (i ? ",\n  " : "\n  ") << RowJson(sweep.rows[i], stage);
  std::cout << "\n]}\n";
}

// The rows alone; the warning on a store not comparable with chance goes to
// standard error.
void PrintCsv(const SizeSweep& sweep, int stage) {
  if (!sweep.quality.comparable_with_chance())
    std::cerr << "kelvora: sweep: " << Utf16ToUtf8(analysis::StoreQualityWarning(sweep.quality))
              << '\n';
  std::cout << "size,method,hits,misses,rate,chance,p_value,p_value_holm,q_value\n";
  for (const SweepRow& r : sweep.rows) {
    std::cout << r.size << ',' << layout::MethodNumber(stage, r.method) << ',' << r.hits << ','
              << r.misses << ',' << JsonNumber(r.rate) << ',' << JsonNumber(r.chance) << ','
              << JsonNumber(r.p_value) << ',' << JsonNumber(r.p_value_holm) << ','
              << JsonNumber(r.q_value) << '\n';
  }
}

}  // namespace

int RunSweep(const std::string& workbook, int stage, const std::string& sizes_text,
             SweepFormat format) {
  if (stage != 1 && stage != 2) {
    std::cerr << _("kelvora: sweep: --stage must be 1 or 2") << '\n';
    return kExitUsage;
  }
  std::optional<std::pair<int32_t, int32_t>> sizes;
  if (!sizes_text.empty()) {
    sizes = ParseSizes(sizes_text);
    if (!sizes) {
      std::cerr << Fill(_("kelvora: sweep: --sizes {1}: expected N or A..B with A <= B"),
                        {sizes_text})
                << '\n';
      return kExitUsage;
    }
  }
  auto book = OpenWorkbook(workbook, Access::kRead);
  if (!book) return kExitFailed;
  const layout::Stage& cells = stage == 1 ? layout::kStage1 : layout::kStage2;
  analysis::SweepOutcome outcome;
  try {
    host::Session session(BindBook(*book, nullptr), {});
    outcome = analysis::SweepStageSizes(analysis::ReadBook(session), cells, sizes, session.workers);
  } catch (const CommandError& e) {
    std::cerr << Fill(_("kelvora: sweep: error {1}: {2}"), {e.number(), e.description()}) << '\n';
    return kExitFailed;
  }
  if (!outcome.sweep) {
    switch (*outcome.refusal) {
      case analysis::SweepRefusal::kNoDraws:
        std::cerr << _("kelvora: sweep: the store holds no draws to test (take some in first)")
                  << '\n';
        return kExitStopped;
      case analysis::SweepRefusal::kParameters:
        std::cerr << Fill(_("kelvora: sweep: the parameters of stage {1} cannot run (kind, "
                            "position or window); check them with show"),
                          {stage})
                  << '\n';
        return kExitStopped;
      case analysis::SweepRefusal::kSizesOutside:
        std::cerr << Fill(_("kelvora: sweep: --sizes {1}: the stage's kind allows sizes {2} to "
                            "{3}"),
                          {sizes_text, outcome.kind_min_size, outcome.kind_max_size})
                  << '\n';
        return kExitUsage;
    }
  }
  switch (format) {
    case SweepFormat::kText:
      PrintText(*outcome.sweep, stage);
      break;
    case SweepFormat::kJson:
      PrintJson(*outcome.sweep, stage);
      break;
    case SweepFormat::kCsv:
      PrintCsv(*outcome.sweep, stage);
      break;
  }
  return kExitOk;
}

}  // namespace kelvora::tool
