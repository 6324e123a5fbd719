#include "host/xlsx/xlsx_text.h"

#include <gtest/gtest.h>

#include "host/xlsx/formula_shift.h"
#include "text/utf.h"

namespace kelvora::host::xlsx {
namespace {

TEST(XlsxTextTest, EscapesRoundTrip) {
  struct Case {
    std::u16string text;
    std::string encoded;
  } cases[] = {{u"a&b<c>", "a&amp;b&lt;c&gt;"},
               {u"line\r\nnext", "line_x000D_\nnext"},
               {u"tab\there", "tab\there"},
               {std::u16string(u"bell\u0007"), "bell_x0007_"},
               // A literal text that looks like an escape keeps its underscore.
               {u"_x0041_", "_x005F_x0041_"},
               {u"_x00", "_x00"},
               {Utf8ToUtf16("Đề đuôi"), "Đề đuôi"},
               {u"\U0001F600", "\xF0\x9F\x98\x80"}};
  for (const auto& c : cases) {
    std::string out;
    AppendEscapedText(out, c.text);
    EXPECT_EQ(out, c.encoded);
  }
  // Decoding reverses the escapes (the XML parser undoes &amp; itself).
  EXPECT_EQ(DecodeEscapes(u"line_x000D_\nnext"), u"line\r\nnext");
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
  EXPECT_EQ(BuiltinNumberFormat(49).value(), u"@");
  EXPECT_FALSE(BuiltinNumberFormat(163).has_value());
  EXPECT_TRUE(IsDateFormat(BuiltinNumberFormat(30).value()));
  EXPECT_EQ(BuiltinNumberFormatId(u"@").value(), 49u);
}

TEST(XlsxTextTest, NumbersAndErrorLiterals) {
  for (double d : {0.0, 1.0, -3.5, 24123.0, 0.1, 1.0 / 3.0, 1e-7, 123456789012345.0, 1e300})
    EXPECT_EQ(std::stod(NumberText(d)), d) << NumberText(d);
  EXPECT_EQ(NumberText(24123), "24123");
  EXPECT_EQ(NumberText(0.1), "0.1");
  EXPECT_EQ(ErrorCodeOfLiteral("#N/A").value(), 2042);
  EXPECT_EQ(ErrorCodeOfLiteral("#DIV/0!").value(), 2007);
  EXPECT_FALSE(ErrorCodeOfLiteral("#BOGUS").has_value());
  EXPECT_EQ(ErrorLiteral(2023), "#REF!");
}

TEST(FormulaShiftTest, MovesRelativeReferences) {
  struct Case {
    const char* formula;
    int32_t rows, cols;
    const char* moved;
  } cases[] = {{"A1+B2", 1, 0, "A2+B3"},
               {"$A$1+A$1+$A1", 2, 1, "$A$1+B$1+$A3"},
               {"SUM(A1:B3)", 1, 1, "SUM(B2:C4)"},
               {"LOG10(A1)", 1, 0, "LOG10(A2)"},
               {"\"A1\"&A1", 1, 0, "\"A1\"&A2"},
               {"'My A1'!A1*Sheet2!B2", 1, 0, "'My A1'!A2*Sheet2!B3"},
               {"SUM(A:A)+SUM(3:3)", 1, 1, "SUM(B:B)+SUM(4:4)"},
               {"A1*2.5+1E5", 0, 1, "B1*2.5+1E5"},
               {"A1", -1, 0, "#REF!"},
               {"XFD1+$C:$D", 0, 1, "#REF!+$C:$D"},
               {"Table1[Col A1]+A1", 1, 0, "Table1[Col A1]+A2"},
               {"KieuDanh", 5, 5, "KieuDanh"},
               {"[1]Sheet1!A1", 1, 0, "[1]Sheet1!A2"}};
  for (const auto& c : cases)
    EXPECT_EQ(ShiftFormula(c.formula, c.rows, c.cols), c.moved) << c.formula;
}

}  // namespace
}  // namespace kelvora::host::xlsx
