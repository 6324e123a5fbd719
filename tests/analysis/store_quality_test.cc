#include "analysis/store_quality.h"

#include <gtest/gtest.h>

#include "support/bound_workbook.h"

namespace kelvora::analysis {
namespace {

TEST(StoreQualityTest, ResultsThatAreNotFiveDigitsAreCountedAndNamed) {
  const host::Table block = testing::StoreOf(
      {u"01234", u"1234", 1234, 12345, u"12a45", host::Value(), u"123456", u"9"}, 8);
  const std::u16string warning = StoreQualityWarning(CheckStoreQuality(block));
  // Six results are counted; five are named.
  EXPECT_EQ(warning.substr(warning.find(u" (")),
            testing::U(" (6/8: \"1234\" \"1234\" \"12a45\" \"\" \"123456\")"));
  EXPECT_EQ(StoreQualityWarning({}), u"");
}

}  // namespace
}  // namespace kelvora::analysis
