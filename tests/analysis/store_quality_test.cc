#include "analysis/store_quality.h"

#include <gtest/gtest.h>

#include "support/bound_workbook.h"

namespace kelvora::analysis {
namespace {

using host::Value;
using testing::U;

TEST(StoreQualityTest, ResultsThatAreNotFiveDigitsAreCountedAndNamed) {
  host::Table block(7, 2);
  const Value results[] = {Value(u"01234"), Value(u"1234"), Value(1234),     Value(12345),
                           Value(u"12a45"), Value(),        Value(u"123456")};
  for (int r = 1; r <= 7; ++r) block(r, 2) = results[r - 1];
  const std::u16string warning = StoreQualityWarning(CheckStoreQuality(block));
  EXPECT_EQ(warning.substr(warning.find(u" (")),
            U(" (5/7: \"1234\" \"1234\" \"12a45\" \"\" \"123456\")"));
  EXPECT_EQ(StoreQualityWarning({}), u"");
}

}  // namespace
}  // namespace kelvora::analysis
