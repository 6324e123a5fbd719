#include "html/html_nesting.h"

#include <gtest/gtest.h>

#include "html/html_text.h"

namespace kelvora::html {
namespace {

TEST(HtmlNestingTest, ElementsPastTheLimitBecomeSiblings) {
  const std::pair<std::string, std::string> cases[] = {
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
  for (const auto& [html, expected] : cases)
    EXPECT_EQ(CapNesting(html, 2).value_or(html), expected) << html;
}

TEST(HtmlNestingTest, DeepPagesKeepTheirTextAndTables) {
  std::string deep = "<table><tr><td>7</td><td>8</td></tr></table>";
  for (int i = 0; i < 5000; ++i) deep = "<div>" + deep + "</div>";
  EXPECT_TRUE(CapNesting(deep).has_value());
  EXPECT_EQ(HtmlToClipboardText(deep), u"7\t8");
}

}  // namespace
}  // namespace kelvora::html
