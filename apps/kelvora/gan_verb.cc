#include "gan_verb.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <numeric>
#include <vector>

#include "analysis/gan.h"
#include "analysis/main_analysis.h"
#include "exit_status.h"
#include "host/error.h"
#include "host/layout.h"
#include "i18n.h"
#include "intake/result_store.h"
#include "report/json.h"
#include "report/number_format.h"
#include "terminal_table.h"
#include "text/utf.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

using analysis::GanReport;
using report::FormatNumber;
using report::JsonNumber;
using report::JsonString;

std::string Two(int ending) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02d", ending);
  return buf;
}
std::u16string U(const std::string& s) { return Utf8ToUtf16(s); }
// A figure a person reads: printf's `format`, the user's decimal mark.
std::string Figure(const char* format, double v) { return LocalDecimal(FormatNumber(format, v)); }

void PrintText(const GanReport& g) {
  const auto draws = static_cast<unsigned long>(g.draws);
  const int64_t left_out = g.quality.results_not_five_digits;
  if (left_out > 0) {
    std::cout << Fill(_n("Store: {1} five-digit result (left out: {2} not of five digits); "
                         "counts over the newest {3} draws",
                         "Store: {1} five-digit results (left out: {2} not of five digits); "
                         "counts over the newest {3} draws",
                         draws),
                      {g.draws, left_out, g.last});
  } else {
    std::cout << Fill(_n("Store: {1} five-digit result; counts over the newest {2} draws",
                         "Store: {1} five-digit results; counts over the newest {2} draws", draws),
                      {g.draws, g.last});
  }
  std::cout << '\n';
  if (!g.quality.comparable_with_chance())
    std::cout << Utf16ToUtf8(analysis::StoreQualityWarning(g.quality)) << '\n';
  std::cout << '\n';

  std::vector<int> order(100);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return g.endings[static_cast<size_t>(a)].current_gan >
           g.endings[static_cast<size_t>(b)].current_gan;
  });
  // TRANSLATORS: "gan" is the lottery's word for how long a number has been
  // absent; the figure 0.99 takes the language's decimal mark.
  std::cout << _("Longest current gan (the chance that a number stays away this long at random: "
                 "0.99^gan):")
            << '\n';
  std::vector<std::vector<std::u16string>> rows = {
      {U(_("Number")), u"Gan", U(_("Longest gan")), U(_("Probability"))}};
  for (int i = 0; i < 10; ++i) {
    const auto& e = g.endings[static_cast<size_t>(order[static_cast<size_t>(i)])];
    rows.push_back({U(Two(order[static_cast<size_t>(i)])), U(std::to_string(e.current_gan)),
                    U(std::to_string(e.longest_gan)), U(Figure("%.2g", e.gan_p))});
  }
  PrintTable(std::cout, rows, 2);
  std::cout << "  "
            << Fill(_("The chance that the longest gan of the 100 numbers is this long at random: "
                      "{1} (exact)"),
                    {Figure("%.2g", g.max_current_gan_p)})
            << '\n';
  std::cout << "  "
            << Fill(_("The longest gan of one number at random (95%): {1} to {2} draws"),
                    {g.longest_gan_low, g.longest_gan_high})
            << "\n\n";

  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return g.endings[static_cast<size_t>(a)].count > g.endings[static_cast<size_t>(b)].count;
  });
  std::cout << Fill(_("Most and least frequent in {1} draws (expected {2} times each number; χ² "
                      "p = {3}):"),
                    {g.last, Figure("%.2f", g.expected), Figure("%.2g", g.chi2_p)})
            << '\n';
  rows = {{U(_("Most")), U(_("Times")), U(_("Least")), U(_("Times"))}};
  for (int i = 0; i < 10; ++i) {
    const int most = order[static_cast<size_t>(i)], least = order[static_cast<size_t>(99 - i)];
    rows.push_back({U(Two(most)), U(std::to_string(g.endings[static_cast<size_t>(most)].count)),
                    U(Two(least)), U(std::to_string(g.endings[static_cast<size_t>(least)].count))});
  }
  PrintTable(std::cout, rows, 2);

  // TRANSLATORS: head and tail are the first and last digit of a two-digit
  // ending (đầu, đuôi), sum the last digit of their sum (tổng).
  std::cout << '\n'
            << Fill(_("Head, tail and sum in {1} draws (expected {2} times each digit):"),
                    {g.last, Figure("%.1f", static_cast<double>(g.last) / 10)})
            << '\n';
  rows = {{U(_("Digit")), U(_("Head")), U(_("Tail")), U(_("Sum"))}};
  for (size_t d = 0; d < 10; ++d) {
    rows.push_back({U(std::to_string(d)), U(std::to_string(g.dau.counts[d])),
                    U(std::to_string(g.duoi.counts[d])), U(std::to_string(g.tong.counts[d]))});
  }
  rows.push_back({U("χ² p"), U(Figure("%.2g", g.dau.chi2_p)), U(Figure("%.2g", g.duoi.chi2_p)),
                  U(Figure("%.2g", g.tong.chi2_p))});
  PrintTable(std::cout, rows, 2);
  std::cout << '\n' << Utf16ToUtf8(g.verdict) << '\n';
}

std::string Counts(const std::array<int64_t, 10>& counts) {
  std::string s = "[";
  for (size_t i = 0; i < counts.size(); ++i) s += (i ? ", " : "") + std::to_string(counts[i]);
  return s + "]";
}

void PrintJson(const GanReport& g) {
  std::cout << "{\"last\": " << g.last << ", \"draws\": " << g.draws
            << ", \"left_out\": " << g.quality.results_not_five_digits
            << ", \"store_quality\": " << report::StoreQualityJson(g.quality)
            << ", \"exact\": true,\n \"endings\": [";
  for (int e = 0; e < 100; ++e) {
    const auto& s = g.endings[static_cast<size_t>(e)];
    std::cout << (e ? ",\n  " : "\n  ") << "{\"ending\": \"" << Two(e)
              << "\", \"current_gan\": " << s.current_gan << ", \"longest_gan\": " << s.longest_gan
              << ", \"count\": " << s.count << ", \"expected\": " << JsonNumber(g.expected)
              << ", \"gan_p\": " << JsonNumber(s.gan_p) << "}";
  }
  std::cout << "],\n \"max_current_gan_p\": " << JsonNumber(g.max_current_gan_p)
            << ",\n \"longest_gan_95\": [" << g.longest_gan_low << ", " << g.longest_gan_high
            << "],\n \"dau\": " << Counts(g.dau.counts) << ", \"duoi\": " << Counts(g.duoi.counts)
            << ", \"tong\": " << Counts(g.tong.counts)
            << ",\n \"chi2_p\": {\"endings\": " << JsonNumber(g.chi2_p)
            << ", \"dau\": " << JsonNumber(g.dau.chi2_p)
            << ", \"duoi\": " << JsonNumber(g.duoi.chi2_p)
            << ", \"tong\": " << JsonNumber(g.tong.chi2_p)
            << "},\n \"verdict\": " << JsonString(g.verdict) << "}\n";
}

}  // namespace

int RunGan(const std::string& workbook, const std::string& last_text, bool json) {
  int64_t last = 100;
  if (!last_text.empty()) {
    const auto [end, ec] =
        std::from_chars(last_text.data(), last_text.data() + last_text.size(), last);
    if (ec != std::errc() || end != last_text.data() + last_text.size() || last < 1) {
      std::cerr << Fill(_("kelvora: gan: --last {1}: expected a whole number above 0"), {last_text})
                << '\n';
      return kExitUsage;
    }
  }
  auto book = OpenWorkbook(workbook, Access::kRead);
  if (!book) return kExitFailed;
  GanReport g;
  try {
    host::Session session(BindBook(*book, nullptr), {});
    host::Worksheet& sheet = session.MainSheet();
    const int32_t bottom = intake::StoreLastRow(sheet);
    const host::Table block = bottom >= layout::kStoreFirstRow
                                  ? analysis::ReadDrawBlock(sheet, bottom)
                                  : host::Table(0, 2);
    g = analysis::AssessGan(block, last);
  } catch (const CommandError& e) {
    std::cerr << Fill(_("kelvora: gan: error {1}: {2}"), {e.number(), e.description()}) << '\n';
    return kExitFailed;
  }
  if (g.draws == 0) {
    std::cerr << _("kelvora: gan: the store holds no five-digit result (take some in first)")
              << '\n';
    return kExitStopped;
  }
  if (json) {
    PrintJson(g);
  } else {
    PrintText(g);
  }
  return kExitOk;
}

}  // namespace kelvora::tool
