#include "show.h"

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <vector>

#include "analysis/book_view.h"
#include "analysis/chance_report.h"
#include "command_summary.h"
#include "exit_status.h"
#include "host/convert.h"
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

using report::JsonNumber;
using report::JsonString;
using report::JsonValue;
using report::PercentText;
using report::ProbabilityText;

using analysis::BookView;
using analysis::ChanceReport;
using analysis::MethodChance;
using analysis::StageChance;
using analysis::StageState;
using host::Value;
using layout::Cell;

std::string A1Text(Cell cell) { return Utf16ToUtf8(layout::A1(cell)); }
std::string A1Text(layout::Block block) { return Utf16ToUtf8(layout::A1(block)); }

std::u16string CellText(const Value& v) {
  if (v.IsError()) return u"#ERROR";
  return host::ToText(v);
}

std::u16string CellText(const BookView& b, Cell cell) { return CellText(b.At(cell)); }

const Value& CellValue(const BookView& b, Cell cell) { return b.At(cell); }

// Rate cells show two decimals in the text view, with the user's decimal
// mark.
std::u16string ShortNumber(const Value& v) {
  if (v.IsNumber() && v.number() != std::floor(v.number())) {
    std::ostringstream o;
    o << std::fixed << std::setprecision(2) << v.number();
    return Utf8ToUtf16(LocalDecimal(o.str()));
  }
  return v.IsError() ? u"#ERROR" : host::ToText(v);
}

constexpr const char* kParameterKeys[] = {"kind", "set_size", "position_or_suffix", "window"};

// The lines under a method table that set each method beside chance.
void PrintChance(std::ostream& out, int stage, const StageChance& chance,
                 const analysis::StoreQuality& quality) {
  if (chance.state == StageState::kNotRun) return;
  if (chance.state == StageState::kStale) {
    out << "  " << Utf16ToUtf8(analysis::StaleStageNotice()) << '\n';
    return;
  }
  const std::vector<std::u16string> headings = {
      u"PP",     Utf8ToUtf16(_("Rate")),         Utf8ToUtf16(_("Chance")), u"p",
      u"p Holm", Utf8ToUtf16(_("95% interval")), Utf8ToUtf16(_("Verdict"))};
  auto percent = [](double v) { return Utf8ToUtf16(LocalDecimal(PercentText(v))); };
  auto probability = [](double v) { return Utf8ToUtf16(LocalDecimal(ProbabilityText(v))); };
  std::vector<std::vector<std::u16string>> rows = {headings};
  for (const MethodChance& m : chance.methods) {
    rows.push_back(
        {Ascii(std::to_string(layout::MethodNumber(stage, m.method))), percent(*m.rate),
         percent(m.chance_rate), probability(m.p_value), probability(m.p_value_holm),
         // TRANSLATORS: the bounds of an interval; beside a decimal comma a
         // semicolon sets them apart.
         Utf8ToUtf16(Fill(_("[{1}, {2}]"), {LocalDecimal(PercentText(m.interval95.low)),
                                            LocalDecimal(PercentText(m.interval95.high))})),
         analysis::ChanceVerdict(m, quality)});
  }
  out << "  " << _("Against chance:") << '\n';
  PrintTable(out, rows, 4);
}

// The label left of a cell.
constexpr Cell LabelOf(Cell cell) { return {cell.row, cell.col - 1}; }

const layout::Stage* const kStages[] = {&layout::kStage1, &layout::kStage2};

void PrintText(const std::string& path, const BookView& m, const ChanceReport& chance) {
  const int64_t stored = m.store().rows();
  std::ostringstream out;
  out << Fill(_("Workbook: {1}"), {path}) << '\n';
  const std::u16string heading = CellText(m, layout::kHeading);
  out << (heading.empty() ? _("(no analysis yet)") : Utf16ToUtf8(heading)) << '\n';
  if (stored == 0) {
    out << _("The store is empty: take draws in with DanKQXS, DanKQXSNgay, DanKQXSDB or import.");
  } else {
    out << Fill(_("Stored draws: {1}  (newest {2}: {3})"),
                {stored, Utf16ToUtf8(CellText(m.NewestRow(layout::kStoreDrawCol))),
                 Utf16ToUtf8(CellText(m.NewestRow(layout::kStoreResultCol)))});
  }
  out << "\n";
  if (!chance.quality.comparable_with_chance())
    out << Utf16ToUtf8(analysis::StoreQualityWarning(chance.quality)) << '\n';
  size_t label_width = 0;
  for (const Cell c : layout::kParameterCells)
    label_width = std::max(label_width, DisplayWidth(CellText(m, LabelOf(c))));
  auto block = [&](const std::string& title, std::initializer_list<Cell> cells) {
    out << '\n' << title << '\n';
    for (const Cell c : cells) {
      std::string address = A1Text(c);
      address.resize(std::max<size_t>(address.size(), 4), ' ');
      out << "  " << address << Pad(CellText(m, LabelOf(c)), label_width) << "  "
          << Utf16ToUtf8(CellText(m, c)) << '\n';
    }
  };
  const layout::Stage& one = layout::kStage1;
  const layout::Stage& two = layout::kStage2;
  block(Fill(_("Parameters {1}:"), {1}),
        {one.kind, one.size, one.position, one.window, layout::kSecondStageSwitch});
  block(Fill(_("Parameters {1}:"), {2}), {two.kind, two.size, two.position, two.window});
  constexpr int32_t kFigures = layout::kMethodTableCols - 1;  // all but the set
  for (int stage = 1; stage <= 2; ++stage) {
    const layout::Stage& st = *kStages[stage - 1];
    const int32_t first = st.table.row;
    const int32_t col = st.table.col;
    // The column headings above the first table name the columns of both.
    const int32_t heading_row = layout::kStage1.table.row - 1;
    const int first_method = layout::MethodNumber(stage, 1);
    out << '\n'
        << Fill(_("Stage {1}, methods {2} to {3} ({4}):"),
                {stage, first_method, first_method + layout::kMethods - 1,
                 A1Text(layout::MethodTable(st))})
        << '\n';
    std::vector<size_t> widths(kFigures);
    for (int32_t c = 0; c < kFigures; ++c) {
      widths[c] = DisplayWidth(CellText(m, {heading_row, col + c}));
      for (int32_t r = first; r < first + layout::kMethods; ++r)
        widths[c] = std::max(widths[c], DisplayWidth(ShortNumber(CellValue(m, {r, col + c}))));
    }
    if (CellValue(m, st.table).IsEmpty()) {
      out << "  " << _("(empty)") << '\n';
      continue;
    }
    const StageChance& stage_chance = chance.stages[static_cast<size_t>(stage - 1)];
    out << ' ';
    for (int32_t c = 0; c < kFigures; ++c)
      out << ' ' << Pad(CellText(m, {heading_row, col + c}), widths[c]);
    out << '\n';
    // The first column numbers the stage's methods as the copies do (4 to 6
    // for the second stage), whatever the table holds.
    for (int32_t r = first; r < first + layout::kMethods; ++r) {
      out << ' ';
      for (int32_t c = 0; c < kFigures; ++c) {
        const std::u16string shown = c == 0 && !CellValue(m, {r, col}).IsEmpty()
                                         ? Ascii(std::to_string(first_method + r - first))
                                         : ShortNumber(CellValue(m, {r, col + c}));
        out << ' ' << Pad(shown, widths[c]);
      }
      out << '\n';
    }
    out << "  " << Utf16ToUtf8(CellText(m, {heading_row, layout::SetColumn(st)})) << ":\n";
    for (int k = 1; k <= layout::kMethods; ++k) {
      const int copy = layout::MethodNumber(stage, k);
      const Cell set = layout::OutputCell(copy);
      out << "    PP" << copy << " (" << A1Text(set) << "): " << Utf16ToUtf8(CellText(m, set))
          << '\n';
    }
    PrintChance(out, stage, stage_chance, chance.quality);
  }
  // Aligned columns leave blanks at line ends; the terminal needs none.
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::cout << line << '\n';
  }
}

void PrintJson(const std::string& path, const BookView& m, const ChanceReport& chance) {
  auto params = [&](const layout::Stage& st) {
    const Cell cells[] = {st.kind, st.size, st.position, st.window};
    std::string s = "{";
    for (int i = 0; i < 4; ++i) {
      s += std::string(i ? ", " : "") + "\"" + kParameterKeys[i] +
           "\": " + JsonValue(CellValue(m, cells[i]));
    }
    return s + "}";
  };
  const report::BookJsonHead head{Utf8ToUtf16(path),
                                  m.At(layout::kHeading),
                                  m.store().rows(),
                                  m.NewestRow(layout::kStoreDrawCol),
                                  {m.MethodTable(layout::kStage1), m.MethodTable(layout::kStage2)}};
  std::cout << report::BookJson(
                   head, chance,
                   {{"newest_result", JsonValue(m.NewestRow(layout::kStoreResultCol))},
                    {"parameters", params(layout::kStage1)},
                    {"second_stage", JsonValue(CellValue(m, layout::kSecondStageSwitch))},
                    {"parameters_2", params(layout::kStage2)}},
                   {})
            << '\n';
}

}  // namespace

int RunShow(const std::string& workbook, bool json) {
  auto book = OpenWorkbook(workbook, Access::kRead);
  if (!book) return kExitFailed;
  std::optional<BookView> view;
  ChanceReport chance;
  try {
    host::Session session(BindBook(*book, nullptr), {});
    view = analysis::ReadBook(session);
    chance = analysis::AssessAgainstChance(*view);
  } catch (const CommandError& e) {
    std::cerr << Fill(_("kelvora: show: error {1}: {2}"), {e.number(), e.description()}) << '\n';
    return kExitFailed;
  }
  if (json) {
    PrintJson(book->path, *view, chance);
  } else {
    PrintText(book->path, *view, chance);
  }
  return kExitOk;
}

}  // namespace kelvora::tool
