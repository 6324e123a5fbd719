#include "text/markup_escape.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kelvora {
namespace {

using std::string_view_literals::operator""sv;

TEST(MarkupEscapeTest, EscapesWhatEndsOrOpensMarkup) {
  const struct {
    std::string_view text, escaped;
  } cases[] = {
      {"", ""},
      {"a & b", "a &amp; b"},
      {"<b>\"x\"</b>", "&lt;b&gt;&quot;x&quot;&lt;/b&gt;"},
      {"&amp;", "&amp;amp;"},  // escaped text is escaped again
      {"'single' = stays", "'single' = stays"},
      {"nul\0after"sv, "nul\0after"sv},
      {"Kỳ quay", "Kỳ quay"},
  };
  for (const auto& c : cases) {
    std::string out = "kept:";
    AppendEscapedMarkup(out, c.text);
    EXPECT_EQ(out, "kept:" + std::string(c.escaped));
  }
}

}  // namespace
}  // namespace kelvora
