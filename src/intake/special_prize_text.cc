#include "intake/special_prize_text.h"

#include "host/convert.h"
#include "intake/result_store.h"

namespace kelvora::intake {

SpecialPrizeText ReadSpecialPrizeText(std::u16string_view text, const TrimFunction& trim) {
  SpecialPrizeText out;
  const std::u16string_view word(kDrawWord);
  size_t pos = text.find(word);
  out.heading = std::u16string(text.substr(0, pos));
  while (pos != std::u16string_view::npos) {
    const size_t begin = pos + word.size();
    pos = text.find(word, begin);
    const std::u16string_view block = text.substr(
        begin, pos == std::u16string_view::npos ? std::u16string_view::npos : pos - begin);

    SpecialPrizeBlock b;
    const size_t lf1 = block.find(u'\n');
    std::u16string_view first = block.substr(0, lf1);
    if (!first.empty() && first.back() == u'\r') first.remove_suffix(1);
    const std::u16string trimmed = trim(std::u16string(first));
    b.key = trimmed.substr(0, 10);

    if (lf1 != std::u16string_view::npos) {
      std::u16string_view second = block.substr(lf1 + 1);
      second = second.substr(0, second.find(u'\n'));
      const size_t tab = second.find(u'\t');
      if (tab != std::u16string_view::npos) {
        std::u16string field(second.substr(tab + 1));
        field = field.substr(0, field.find(u'\t'));
        for (char16_t& c : field)
          if (c == u'-' || c == u'\r') c = u' ';
        field = trim(field);
        if (!field.empty()) b.result = field.substr(0, field.find(u' '));
      }
    }
    out.blocks.push_back(std::move(b));
  }
  return out;
}

bool IsTwentySevenPrizeHeader(std::u16string_view heading) {
  for (size_t i = heading.size(); i >= 1; --i) {
    const std::u16string window(heading.substr(i - 1, 2));
    const auto number = host::ParseNumericText(window);
    if (number.has_value() && *number > 10) return window == u"27";
  }
  return false;
}

host::Value DrawLookupValue(const host::Value& v) {
  if (!v.IsText()) return v;
  const std::u16string& t = v.text();
  if (t.find_first_of(u"&Dd") != std::u16string::npos) return v;
  if (auto d = host::ParseNumericText(t)) return host::Value(*d);
  return v;
}

}  // namespace kelvora::intake
