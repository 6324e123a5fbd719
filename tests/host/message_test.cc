#include "host/message.h"

#include <gtest/gtest.h>

#include <climits>

#include "host/clipboard_text.h"
#include "host/error.h"
#include "support/error_number.h"
#include "support/scripted_platform.h"
#include "text/utf.h"

namespace kelvora {
namespace {

struct Scripted {
  host::ScriptedPlatform p;
  host::Session session{{}, p.services()};
};

TEST(MessageTest, DecodesTitleAddsSystemModalAndReturnsTheButton) {
  Scripted s;
  auto& p = s.p;
  p.messages.QueueAnswer(kIdYes);
  EXPECT_EQ(ShowMessage(s.session, u"q", kMbYesNo, kMessageTitle), kIdYes);
  EXPECT_EQ(ShowMessage(s.session, u"x", 4096, u"Thông Báo"), kIdOk);
  ASSERT_EQ(p.messages.shown().size(), 2u);
  EXPECT_EQ(Utf16ToUtf8(p.messages.shown()[0].caption), "Thông Báo");
  EXPECT_EQ(p.messages.shown()[0].style, 4 + 4096);
  EXPECT_EQ(Utf16ToUtf8(p.messages.shown()[1].caption), "Thông Báo");  // unchanged
  EXPECT_EQ(p.messages.shown()[1].style, 8192);                        // an addition, not a union
}

TEST(MessageTest, StopByCheckShowsTheMessageAndKeepsTheFirstStop) {
  Scripted s;
  StopByCheck(s.session, u"Ddax", kMbIconError);
  StopByCheck(s.session, u"second", kMbIconInformation);
  EXPECT_EQ(s.p.messages.shown().size(), 2u);
  EXPECT_EQ(Utf16ToUtf8(s.session.stop_message()), "Đã");
}

TEST(MessageTest, OverflowingFlagsFailBeforeShowing) {
  Scripted s;
  EXPECT_EQ(
      testing::ErrorNumberOf([&] { ShowMessage(s.session, u"x", INT32_MAX - 100, kMessageTitle); }),
      err::kOverflow);
  EXPECT_TRUE(s.p.messages.shown().empty());
}

TEST(ClipboardTest, MissingServicesBehaveAsDocumented) {
  host::Session session({}, {});
  EXPECT_EQ(GetClipboardText(session), u"");
  EXPECT_THROW(SetClipboardText(session, u"x"), CommandError);
  EXPECT_THROW(ShowMessage(session, u"x", 64, kMessageTitle), CommandError);
  EXPECT_THROW(session.MainSheet(), CommandError);
}

}  // namespace
}  // namespace kelvora
