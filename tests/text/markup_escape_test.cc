#include "text/markup_escape.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kelvora {
namespace {

using std::string_view_literals::operator""sv;

TEST(MarkupEscapeTest, EscapesWhatEndsOrOpensMarkup) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""},
      {"a & b", "a &amp; b"},
      {"<b>\"x\"</b>", "&lt;b&gt;&quot;x&quot;&lt;/b&gt;"},
      {"&amp;", "&amp;amp;"},  // escaped text is escaped again
      {"'single' = stays", "'single' = stays"},
      {"nul\0after"sv, "nul\0after"sv},
      {"Kỳ quay", "Kỳ quay"},
  };
  for (const auto& [text, escaped] : cases) {
    std::string out = "kept:";
    AppendEscapedMarkup(out, text);
    EXPECT_EQ(out, "kept:" + std::string(escaped));
  }
}

}  // namespace
}  // namespace kelvora
