#include "xlsx/xlsx_text.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace kelvora::host::xlsx {
namespace {

TEST(XlsxTextTest, EscapesRoundTrip) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"a&b<c>", "a&amp;b&lt;c&gt;"},
      {u"line\r\nnext", "line_x000D_\nnext"},
      {u"tab\there", "tab\there"},
      {std::u16string(u"bell\u0007"), "bell_x0007_"},
      // A literal text that looks like an escape keeps its underscore.
      {u"_x0041_", "_x005F_x0041_"},
      {u"_x00", "_x00"},
      {Utf8ToUtf16("Đề đuôi"), "Đề đuôi"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"}};
  for (const auto& [text, encoded] : cases) {
    std::string out;
    AppendEscapedText(out, text);
    EXPECT_EQ(out, encoded);
  }
  // Decoding reverses the escapes (the XML parser undoes &amp; itself).
  EXPECT_EQ(DecodeEscapes(u"_x005F_x0041_"), u"_x0041_");
  EXPECT_EQ(DecodeEscapes(u"_x004g_ and _x41_"), u"_x004g_ and _x41_");
}

TEST(XlsxTextTest, DateFormats) {
  for (const char16_t* code : {u"General", u"0.00", u"@", u"0.00E+00", u"#,##0 \"days\"",
                               u"[Red]0.00", u"\"d\"0", u"0;[Red]d", u"\\d0"})
    EXPECT_FALSE(IsDateFormat(code)) << Utf16ToUtf8(code);
  for (const char16_t* code :
       {u"dd/mm/yyyy", u"mm-dd-yy", u"h:mm AM/PM", u"[h]:mm:ss", u"[$-42A]dd/mm/yyyy", u"yyyy"})
    EXPECT_TRUE(IsDateFormat(code)) << Utf16ToUtf8(code);
  EXPECT_EQ(BuiltinNumberFormat(14).value(), u"mm-dd-yy");
  EXPECT_FALSE(BuiltinNumberFormat(163).has_value());
  EXPECT_TRUE(IsDateFormat(BuiltinNumberFormat(30).value()));
  EXPECT_EQ(BuiltinNumberFormatId(u"@").value(), 49u);
}

TEST(XlsxTextTest, NumbersAndErrorLiterals) {
  for (double d : {0.0, 1.0, -3.5, 24123.0, 0.1, 1.0 / 3.0, 1e-7, 123456789012345.0, 1e300})
    EXPECT_EQ(std::stod(NumberText(d)), d) << NumberText(d);
  EXPECT_EQ(NumberText(24123), "24123");
  EXPECT_EQ(NumberText(0.1), "0.1");
  std::string xml;
  Append(xml, '<', std::string("c"), " r=\"", int32_t{17}, "\" s=\"", uint32_t{3}, "\"><v>");
  AppendNumberText(xml, -0.0);
  EXPECT_EQ(xml, "<c r=\"17\" s=\"3\"><v>0");
  EXPECT_EQ(ErrorCodeOfLiteral("#N/A").value(), 2042);
  EXPECT_FALSE(ErrorCodeOfLiteral("#BOGUS").has_value());
  EXPECT_EQ(ErrorLiteral(2023), "#REF!");
}

}  // namespace
}  // namespace kelvora::host::xlsx
