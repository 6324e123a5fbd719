#include "html/html_nesting.h"

#include <gtest/gtest.h>

#include "html/html_text.h"

namespace kelvora::html {
namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(HtmlNestingTest, ElementsPastTheLimitBecomeSiblings) {
  const struct {
    std::string html;
    std::string expected;
  } cases[] = {
      // Within the limit, and what only looks like tags: unchanged.
      {"<div><b>x</b></div>", "<div><b>x</b></div>"},
      {"<div><!-- <div><div> --><script>'<div><div>'</script>a < b</div>",
       "<div><!-- <div><div> --><script>'<div><div>'</script>a < b</div>"},
      // Two levels allowed: the third and fourth open beside the second.
      {"<div><span><b><i>x</i></b></span></div>", "<div><span></span><b></b><i>x</i></div>"},
      {"<div title='a>b'><div><div class=\"c>d\">x</div></div></div>",
       "<div title='a>b'><div></div><div class=\"c>d\">x</div></div>"},
      // Elements the parser closes itself and void ones do not count.
      {"<table><tr><td><tr><td><p><p><br><img src=x>y</table>",
       "<table><tr><td><tr><td><p><p><br><img src=x>y</table>"},
      // An end tag that closes nothing open changes nothing.
      {"</div></div><div><div><div>x", "</div></div><div><div></div><div>x"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CapNesting(c.html, 2).value_or(c.html), c.expected) << c.html;
}

TEST(HtmlNestingTest, DeepPagesKeepTheirTextAndTables) {
  const std::string deep = Repeat("<div>", 5000) + "<table><tr><td>7</td><td>8</td></tr></table>" +
                           Repeat("</div>", 5000);
  EXPECT_TRUE(CapNesting(deep).has_value());
  EXPECT_EQ(HtmlToClipboardText(deep), u"7\t8");
}

}  // namespace
}  // namespace kelvora::html
