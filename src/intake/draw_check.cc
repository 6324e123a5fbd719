#include "intake/draw_check.h"

#include <cmath>
#include <string>

#include "host/convert.h"
#include "host/message.h"
#include "intake/result_store.h"
#include "text/telex.h"
#include "text/utf.h"

namespace kelvora::intake {

namespace {

constexpr char16_t kInvalidAt[] = u"Duwx lieeju khoong howjp leej owr ";
constexpr char16_t kDrawWord[] = u"kyf ";
constexpr char16_t kRowWord[] = u"dofng ";
constexpr char16_t kOfThePage[] = u" cura trang";
constexpr char16_t kRule[] =
    u"Kyf quay phari laf soos nguyeen duwowng, keest quar phari ddur 5 chuwx soos.";
constexpr char16_t kNothingAdded[] = u"Khoong cos kyf nafo dduwowjc theem vafo kho";
constexpr char16_t kConflict[] = u" xuaast hieejn hai laafn vowsi hai keest quar khasc nhau";
constexpr char16_t kStoredAs[] = u" ddax cos trong kho vowsi keest quar ";
constexpr char16_t kPageSays[] = u", nhuwng trang mowsi ghi ";
constexpr char16_t kIfPageRight[] = u"Neesu trang mowsi ddusng, haxy suwra oo ";
constexpr char16_t kOfMainSheet[] = u" cura trang chisnh thafnh ";
constexpr char16_t kThenRunAgain[] = u" roofi chajy laji leejnh.";
constexpr char16_t kLayout[] =
    u"Barng khoong ddusng dajng 100 kyf: cos kyf quay nawfm ngoafi vufng ddojc";

std::u16string Shown(const host::Value& v) {
  if (v.IsError()) return u"#N/A";
  if (v.IsEmpty()) return u"";
  return host::ToText(v);
}

void Refuse(host::Session& session, const std::u16string& text) {
  ShowMessage(session, text, kMbIconInformation, kMessageTitle);
  session.MarkStopped(text);
}

}  // namespace

bool IsDrawNumber(const host::Value& v) {
  if (v.IsError() || v.IsEmpty() || v.IsDate() || v.IsBoolean()) return false;
  if (!intake::IsNumericValue(v)) return false;
  const double d = host::ToDouble(v);
  return d >= 1 && d == std::floor(d) && d < 1e15;
}

bool IsFiveDigitResult(const host::Value& v) {
  if (v.IsError() || v.IsEmpty() || v.IsBoolean() || v.IsDate()) return false;
  const std::u16string text = host::ToText(v);
  if (text.size() != 5) return false;
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return true;
}

std::optional<MalformedDraw> CheckDraw(const host::Value& draw, const host::Value& result,
                                       std::optional<int32_t> page_row) {
  if (!IsDrawNumber(draw)) {
    if (!page_row) return MalformedDraw{TelexToUnicode(kDrawWord) + Shown(draw), Shown(draw)};
    return MalformedDraw{
        TelexToUnicode(kRowWord) + Ascii(std::to_string(*page_row)) + TelexToUnicode(kOfThePage),
        Shown(draw)};
  }
  if (!IsFiveDigitResult(result))
    return MalformedDraw{TelexToUnicode(kDrawWord) + Shown(draw), Shown(result)};
  return std::nullopt;
}

void RefuseMalformedDraw(host::Session& session, const MalformedDraw& bad) {
  Refuse(session, TelexToUnicode(kInvalidAt) + bad.where + u": \u00AB" + bad.found + u"\u00BB\r\n" +
                      TelexToUnicode(kRule) + u" " + TelexToUnicode(kNothingAdded));
}

void RefuseConflictingDraw(host::Session& session, const std::u16string& draw,
                           const std::u16string& first, const std::u16string& second) {
  Refuse(session, TelexToUnicode(u"Kyf ") + draw + TelexToUnicode(kConflict) + u" (" + first +
                      u", " + second + u")\r\n" + TelexToUnicode(kNothingAdded));
}

std::u16string ResultText(const host::Value& v) {
  if (v.IsNumber() && v.number() >= 0 && v.number() <= 99999 &&
      v.number() == std::floor(v.number())) {
    std::u16string digits = host::ToText(v);
    return std::u16string(5 - digits.size(), u'0') + digits;
  }
  return Shown(v);
}

void RefuseChangedResult(host::Session& session, const std::u16string& draw,
                         const std::u16string& stored, const std::u16string& page,
                         int32_t store_row) {
  const std::u16string remedy =
      session.result_remedy
          ? session.result_remedy(draw, page)
          : TelexToUnicode(kIfPageRight) + u"B" + Ascii(std::to_string(store_row)) +
                TelexToUnicode(kOfMainSheet) + page + TelexToUnicode(kThenRunAgain);
  Refuse(session, TelexToUnicode(u"Kyf ") + draw + TelexToUnicode(kStoredAs) + stored +
                      TelexToUnicode(kPageSays) + page + u".\r\n" + TelexToUnicode(kNothingAdded) +
                      u".\r\n" + remedy);
}

void RefuseHundredDrawLayout(host::Session& session, int32_t row, const host::Value& found) {
  Refuse(session, TelexToUnicode(kLayout) + u" (" + TelexToUnicode(kRowWord) +
                      Ascii(std::to_string(row)) + u": " + Shown(found) + u")\r\n" +
                      TelexToUnicode(kNothingAdded));
}

}  // namespace kelvora::intake
