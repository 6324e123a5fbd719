#include "entry/ribbon.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "entry/commands.h"

namespace kelvora {
namespace {

// The markup as Office's customUI schema wants it, and every button with a
// command or an action of its own.
TEST(RibbonTest, MarkupFollowsTheSchema) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(RibbonMarkup().c_str()));
  EXPECT_STREQ(doc.document_element().attribute("xmlns").value(),
               "http://schemas.microsoft.com/office/2009/07/customui");
  // The one nesting: customUI > ribbon > tabs > tab > group > button.
  const char* const path[] = {"customUI", "ribbon", "tabs", "tab", "group", "button"};
  std::set<std::string> ids, keytips, commands;
  for (const pugi::xpath_node& n : doc.select_nodes("//*")) {
    const pugi::xml_node e = n.node();
    size_t depth = 0;
    for (pugi::xml_node p = e.parent(); p != doc; p = p.parent()) ++depth;
    ASSERT_LT(depth, std::size(path));
    EXPECT_STREQ(e.name(), path[depth]);
    if (depth < 3) continue;
    // An id: a letter first, then letters and digits, once in the markup.
    const std::string id = e.attribute("id").value(), keytip = e.attribute("keytip").value();
    EXPECT_TRUE(std::regex_match(id, std::regex("[A-Za-z][A-Za-z0-9]*"))) << id;
    EXPECT_TRUE(ids.insert(id).second) << id;
    EXPECT_STRNE(e.attribute("label").value(), "") << id;
    EXPECT_TRUE(keytip.size() >= 1 && keytip.size() <= 3 && keytips.insert(keytip).second) << id;
    if (depth < 5) continue;
    // Texts of 1 to 1024 characters (ST_String).
    for (const char* a : {"label", "imageMso", "screentip", "supertip"}) {
      const size_t n = std::strlen(e.attribute(a).value());
      EXPECT_TRUE(n >= 1 && n <= 1024) << id << " " << a;
    }
    const RibbonButton* b = FindRibbonButton(e.attribute("onAction").value());
    ASSERT_NE(b, nullptr) << id;
    EXPECT_EQ(b->id, id);
    if (b->action == RibbonAction::kCommand) {
      ASSERT_NE(FindCommand(b->callback), nullptr) << id;
      commands.insert(std::string(FindCommand(b->callback)->name));
    }
  }
  EXPECT_EQ(commands.size(), kCommands.size() + 1);  // every command, BaoCao too
  EXPECT_EQ(ids.size(), RibbonGroups().size() + RibbonButtons().size() + 1);
}

// Each copy button names the cell its command copies from.
TEST(RibbonTest, CopyButtonsNameTheirCells) {
  const char* const labels[] = {"PP1 (L3)", "PP2 (L4)",  "PP3 (L5)",
                                "PP4 (L9)", "PP5 (L10)", "PP6 (L11)"};
  for (int k = 1; k <= 6; ++k)
    EXPECT_EQ(FindRibbonButton("Copy" + std::to_string(k))->label, labels[k - 1]);
}

}  // namespace
}  // namespace kelvora
