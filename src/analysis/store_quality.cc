#include "analysis/store_quality.h"

#include "host/convert.h"
#include "intake/draw_check.h"
#include "text/telex.h"
#include "text/utf.h"

namespace kelvora::analysis {

namespace {

// The texts, stored in Telex like every text of the engine.
constexpr char16_t kNotComparable[] =
    u"Keest quar trong kho khoong ddusng 5 chuwx soos, khoong so sasnh dduwowjc vowsi ngaaxu "
    u"nhieen";
constexpr char16_t kQualityWarning[] =
    u"Kho duwx lieeju cos keest quar khoong ddusng 5 chuwx soos; soos lieeju tisnh treen ddos "
    u"khoong so sasnh dduwowjc vowsi ngaaxu nhieen";

}  // namespace

StoreQuality CheckStoreQuality(const host::Table& block) {
  StoreQuality q;
  q.draws = block.rows();
  for (int32_t r = 1; r <= block.rows(); ++r) {
    const host::Value& result = block(r, 2);
    if (intake::IsFiveDigitResult(result)) continue;
    ++q.results_not_five_digits;
    if (q.examples.size() < kStoreQualityExamples) q.examples.push_back(result);
  }
  return q;
}

std::u16string StoreQualityWarning(const StoreQuality& q) {
  if (q.comparable_with_chance()) return {};
  std::u16string line = TelexToUnicode(kQualityWarning) + u" (" +
                        Ascii(std::to_string(q.results_not_five_digits)) + u"/" +
                        Ascii(std::to_string(q.draws)) + u":";
  for (const host::Value& v : q.examples)
    line += u" \"" + (v.IsError() ? std::u16string(u"#ERROR") : host::ToText(v)) + u"\"";
  return line + u")";
}

std::u16string NotComparableVerdict() { return TelexToUnicode(kNotComparable); }

}  // namespace kelvora::analysis
