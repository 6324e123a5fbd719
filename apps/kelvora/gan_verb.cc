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

void PrintText(const GanReport& g) {
  std::cout << "Kho: " << g.draws << " kết quả 5 chữ số";
  if (g.left_out > 0) std::cout << " (bỏ qua " << g.left_out << " kết quả không đủ 5 chữ số)";
  std::cout << "; tần suất trong " << g.last << " kỳ gần nhất\n\n";

  std::vector<int> order(100);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return g.endings[static_cast<size_t>(a)].current_gan >
           g.endings[static_cast<size_t>(b)].current_gan;
  });
  std::cout << "Gan hiện tại dài nhất (khả năng ngẫu nhiên một số vắng lâu như vậy: 0.99^gan):\n";
  std::vector<std::vector<std::u16string>> rows = {
      {U("Số"), u"Gan", U("Gan dài nhất"), U("Khả năng")}};
  for (int i = 0; i < 10; ++i) {
    const auto& e = g.endings[static_cast<size_t>(order[static_cast<size_t>(i)])];
    rows.push_back({U(Two(order[static_cast<size_t>(i)])), U(std::to_string(e.current_gan)),
                    U(std::to_string(e.longest_gan)), U(FormatNumber("%.2g", e.gan_p))});
  }
  PrintTable(std::cout, rows, 2);
  std::cout << "  Khả năng gan lớn nhất trong 100 số dài như vậy khi ngẫu nhiên: "
            << FormatNumber("%.2g", g.max_current_gan_p) << " (tính chính xác)\n";
  std::cout << "  Gan dài nhất của một số khi ngẫu nhiên (95%): " << g.longest_gan_low << " đến "
            << g.longest_gan_high << " kỳ\n\n";

  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return g.endings[static_cast<size_t>(a)].count > g.endings[static_cast<size_t>(b)].count;
  });
  std::cout << "Về nhiều nhất và ít nhất trong " << g.last << " kỳ (kỳ vọng "
            << FormatNumber("%.2f", g.expected)
            << " lần mỗi số; χ² p = " << FormatNumber("%.2g", g.chi2_p) << "):\n";
  rows = {{U("Nhiều nhất"), U("Số lần"), U("Ít nhất"), U("Số lần")}};
  for (int i = 0; i < 10; ++i) {
    const int most = order[static_cast<size_t>(i)], least = order[static_cast<size_t>(99 - i)];
    rows.push_back({U(Two(most)), U(std::to_string(g.endings[static_cast<size_t>(most)].count)),
                    U(Two(least)), U(std::to_string(g.endings[static_cast<size_t>(least)].count))});
  }
  PrintTable(std::cout, rows, 2);

  std::cout << "\nĐầu, đuôi và tổng trong " << g.last << " kỳ (kỳ vọng "
            << FormatNumber("%.1f", static_cast<double>(g.last) / 10) << " lần mỗi chữ số):\n";
  rows = {{U("Chữ số"), U("Đầu"), U("Đuôi"), U("Tổng")}};
  for (size_t d = 0; d < 10; ++d) {
    rows.push_back({U(std::to_string(d)), U(std::to_string(g.dau.counts[d])),
                    U(std::to_string(g.duoi.counts[d])), U(std::to_string(g.tong.counts[d]))});
  }
  rows.push_back({U("χ² p"), U(FormatNumber("%.2g", g.dau.chi2_p)),
                  U(FormatNumber("%.2g", g.duoi.chi2_p)), U(FormatNumber("%.2g", g.tong.chi2_p))});
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
            << ", \"left_out\": " << g.left_out << ", \"exact\": true,\n \"endings\": [";
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
      std::cerr << "kelvora: gan: --last " << last_text << ": expected a whole number above 0\n";
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
    std::cerr << "kelvora: gan: error " << e.number() << ": " << e.description() << '\n';
    return kExitFailed;
  }
  if (g.draws == 0) {
    std::cerr << "kelvora: gan: the store holds no five-digit result (take some in first)\n";
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
