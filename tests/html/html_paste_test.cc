#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/cell_ref.h"
#include "host/convert.h"
#include "html/html_paste.h"
#include "html/html_text.h"
#include "text/utf.h"

namespace kelvora::html {
namespace {

std::string Repeat(const std::string& s, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

// The grid a paste of `html` gives, one line per row, cells separated by "|":
// numbers as digits, texts in quotes, empty cells as nothing.
std::string Paste(const std::string& html) {
  const auto grid = ConvertClipboardHtml(html);
  if (!grid) return "<nothing>";
  std::string out;
  for (int32_t r = 1; r <= grid->rows(); ++r)
    for (int32_t c = 1; c <= grid->cols(); ++c) {
      const host::Value& v = grid->at(r, c);
      out += c > 1 ? "|" : r > 1 ? "\n" : "";
      if (v.IsNumber()) out += Utf16ToUtf8(host::NumberToText(v.number()));
      if (v.IsText()) out += "\"" + Utf16ToUtf8(v.text()) + "\"";
    }
  return out;
}

// The Windows clipboard format around `html`, with correct byte offsets
// behind a header of fixed size (105 bytes: four ten-digit numbers).
std::string ClipboardFormat(const std::string& before, const std::string& fragment,
                            const std::string& after) {
  const std::string start = "<!--StartFragment-->", end = "<!--EndFragment-->";
  const size_t start_fragment = 105 + before.size() + start.size();
  const size_t end_fragment = start_fragment + fragment.size();
  char header[128];
  std::snprintf(header, sizeof header,
                "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\n"
                "EndFragment:%010zu\r\n",
                size_t{105}, end_fragment + end.size() + after.size(), start_fragment,
                end_fragment);
  return header + before + start + fragment + end + after;
}

TEST(HtmlPasteTest, LaysOutBlocksAndTables) {
  const std::tuple<const char*, std::string, const char*> cases[] = {
      {"page with headings above a table",
       "<html><head><title>T</title><style>p{x:y}</style><script>var a=1;</script></head>"
       "<body><h1>Kết quả</h1><p>Ngày <b>06/12</b></p><table><tr><th>Kỳ</th><th>Số</th></tr>"
       "<tr><td>00123</td><td>7</td></tr></table><p>end</p></body></html>",
       "\"Kết quả\"|\n\"Ngày 06/12\"|\n\"Kỳ\"|\"Số\"\n123|7\n\"end\"|"},
      {"list items, divs and br outside tables",
       "<ul><li>a</li><li>b<div>c</div>d</li></ul>x<br>y<br><br>z",
       "\"a\"\n\"b\"\n\"c\"\n\"d\"\n\"x\"\n\"y\"\n\"z\""},
      {"colspan leaves the spanned columns empty",
       "<table><tr><td colspan=3>a</td><td>b</td></tr>"
       "<tr><td>1</td><td>2</td><td>3</td><td>4</td></tr></table>",
       "\"a\"|||\"b\"\n1|2|3|4"},
      {"rowspan pushes later cells of the rows below to the right",
       "<table><tr><td rowspan=3>a</td><td>b</td><td>c</td></tr>"
       "<tr><td>d</td></tr><tr><td>e</td><td>f</td></tr><tr><td>g</td></tr></table>",
       "\"a\"|\"b\"|\"c\"\n|\"d\"|\n|\"e\"|\"f\"\n\"g\"||"},
      {"rowspan=0 reaches the end of the group",
       "<table><tbody><tr><td rowspan=0>a</td><td>b</td></tr><tr><td>c</td></tr>"
       "<tr><td>d</td></tr></tbody><tbody><tr><td>e</td></tr></tbody></table>",
       "\"a\"|\"b\"\n|\"c\"\n|\"d\"\n\"e\"|"},
      {"br in a cell moves what follows to the cell below",
       "<table><tr><td>a<br>b<br><br>c</td><td>x</td></tr><tr><td>n</td><td>m<br></td></tr>"
       "</table>",
       "\"a\"|\"x\"\n\"b\"|\n|\n\"c\"|\n\"n\"|\"m\""},
      {"same-cell from the style sheet keeps line breaks in the cell",
       "<style>br {mso-data-placement: same-cell;}</style>"
       "<table><tr><td>a<br>b</td><td>1</td></tr><tr><td>2</td></tr></table>",
       "\"a\nb\"|1\n2|"},
      {"whitespace and no-break spaces collapse",
       "<table><tr><td>&nbsp; a \n\t b&nbsp;</td><td>&nbsp;</td><td> 4&nbsp;2 </td>"
       "<td>\xC2\xA0 12 </td></tr></table>",
       "\"a b\"||\"4 2\"|12"},
      {"numbers: decimal only, thousands in groups of three",
       "<table><tr><td>007</td><td>1,234,567</td><td>1,2</td><td>&amp;H10</td><td>1D5</td>"
       "<td>1E3</td><td>-5</td><td>12.50</td><td>06/12/2024</td><td>50%</td><td>+.5</td>"
       "<td>12,34</td><td>1,234.5</td><td>1 234</td><td>0</td></tr></table>",
       "7|1234567|\"1,2\"|\"&H10\"|\"1D5\"|1000|-5|12.5|\"06/12/2024\"|\"50%\"|0.5|\"12,34\"|"
       "1234.5|\"1 234\"|0"},
      {"Text number format on a cell or its table keeps the text",
       "<table><tr><td style='mso-number-format:\"\\@\"'>007</td><td>007</td>"
       "<td style=\"color:red; mso-number-format:\\@\">0012</td></tr></table>"
       "<table style='mso-number-format:\"\\@\"'><tr><td>0042</td></tr></table>"
       "<table><tbody style='mso-number-format:\"@\"'><tr><td>05</td></tr></tbody>"
       "<tbody><tr style='mso-number-format:\"0\"'><td>05</td></tr></tbody></table>",
       "\"007\"|7|\"0012\"\n\"0042\"||\n\"05\"||\n5||"},
      {"hidden content is not text",
       "<p>a<script>1</script><noscript>2</noscript><select><option>3</select>"
       "<textarea>4</textarea><template>5</template>b</p>",
       "\"ab\""},
      {"deep nesting", Repeat("<div><span>", 3000) + "deep", "\"deep\""},
      {"rowspan beyond 65534 counts as 65534: the column stays taken below",
       "<table><tr><td rowspan=99999>a</td><td>b</td></tr><tr><td>c</td></tr></table>",
       "\"a\"|\"b\"\n|\"c\""},
      {"nothing", "", "<nothing>"},
      {"an empty body", "<html><body></body></html>", "<nothing>"},
      {"blank cells", "<table><tr><td> </td><td>&nbsp;</td></tr></table>", "<nothing>"},
      {"only hidden content", "<script>document.write(1)</script><style>p{}</style>", "<nothing>"},
      {"only white space", "<p>\r\n\t</p><br><br>", "<nothing>"},
      {"a header without HTML", "Version:0.9\r\nStartHTML:-1\r\nEndHTML:-1\r\n", "<nothing>"},
  };
  for (const auto& [name, html, grid] : cases) EXPECT_EQ(Paste(html), grid) << name;
}

TEST(HtmlPasteTest, ReadsWindowsClipboardFormat) {
  const std::string table = "<table><tr><td>1</td><td>x</td></tr></table>";
  // Context ancestors around the fragment, as one browser writes them.
  EXPECT_EQ(Paste(ClipboardFormat("<html><body>", table, "</body></html>")), "1|\"x\"");
  EXPECT_EQ(Paste(ClipboardFormat("<html><body><table><tbody>", "<tr><td>5</td></tr>",
                                  "</tbody></table></body></html>")),
            "5");
  // Offsets that point nowhere: the HTML after the header is read.
  EXPECT_EQ(Paste("Version:0.9\r\nStartHTML:999999\r\nEndHTML:1000000\r\n"
                  "StartFragment:abc\r\nEndFragment:-5\r\n<p>7</p>"),
            "7");
  // StartHTML -1: the fragment offsets are used.
  std::string text = ClipboardFormat("<p>8</p>", "<p>9</p>", "<p>10</p>");
  text.replace(text.find("StartHTML:"), 20, "StartHTML:-000000001");
  EXPECT_EQ(Paste(text), "9");
}

TEST(HtmlPasteTest, SpansAndGridAreClamped) {
  // colspan beyond 1000 counts as 1000; a grid too large for this host to
  // hold is not pasted.
  EXPECT_EQ(Paste("<table><tr><td colspan=5000>a</td><td>b</td></tr></table>"),
            "\"a\"" + std::string(1000, '|') + "\"b\"");
  EXPECT_EQ(Paste("<table><tr>" + Repeat("<td colspan=1000>x</td>", 17) + "</tr>" +
                  Repeat("<tr><td>1</td></tr>", 300) + "</table>"),
            "<nothing>");
  // Rows past the sheet's last row are dropped.
  const auto grid = ConvertClipboardHtml("<table><tr><td>first" + Repeat("<br>", host::kMaxRows) +
                                         "past</td></tr></table>");
  ASSERT_TRUE(grid.has_value());
  EXPECT_EQ(grid->rows(), host::kMaxRows);
  EXPECT_EQ(grid->at(1, 1), host::Value(u"first"));
  EXPECT_TRUE(grid->at(host::kMaxRows, 1).IsEmpty());
}

TEST(HtmlToClipboardTextTest, CopiesLikeABrowser) {
  const std::pair<std::string, const char16_t*> cases[] = {
      {"<h2>Kết quả</h2><p>a&nbsp;&nbsp;b</p><table><tr><td>1</td><td colspan=2>x</td>"
       "<td></td></tr><tr><td>a<br>b</td><td>c</td></tr></table><div>end</div>",
       u"K\u1EBFt qu\u1EA3\r\na b\r\n1\tx\t\r\na\r\nb\tc\r\nend"},
      {ClipboardFormat("<html><body>", "<p>K\xE1\xBB\xB3 5</p>", "</body></html>"), u"K\u1EF3 5"},
  };
  for (const auto& [html, text] : cases) EXPECT_EQ(HtmlToClipboardText(html), text) << html;
}

}  // namespace
}  // namespace kelvora::html
