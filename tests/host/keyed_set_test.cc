#include "host/keyed_set.h"

#include <gtest/gtest.h>

#include "host/error.h"

namespace kelvora::host {
namespace {

TEST(KeyedSetTest, KeysCompareByTypeAndValue) {
  KeyedSet s;
  s.Add(Value(24123));
  s.Add(Value(u"abc"));
  s.Add(Value());
  EXPECT_TRUE(s.Exists(Value(24123.0)));
  EXPECT_FALSE(s.Exists(Value(u"24123")));  // a text is not the number it reads as
  EXPECT_FALSE(s.Exists(Value(u"ABC")));    // case-sensitive
  EXPECT_TRUE(s.Exists(Value()));           // the empty value is a key
  EXPECT_FALSE(s.Exists(Value(u"")));       // the empty text is another key
  EXPECT_TRUE(s.Exists(Value(u"abc")));
  EXPECT_EQ(s.Count(), 3u);
  EXPECT_THROW(s.Add(Value(24123)), CommandError);
  EXPECT_FALSE(s.Insert(Value(u"abc")));
  EXPECT_TRUE(s.Insert(Value(-0.0)));
  EXPECT_FALSE(s.Insert(Value(0.0)));
  ASSERT_EQ(s.Keys().size(), 4u);
  EXPECT_EQ(s.Keys()[1], Value(u"abc"));  // insertion order
}

}  // namespace
}  // namespace kelvora::host
