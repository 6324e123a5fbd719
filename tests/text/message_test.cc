#include "text/message.h"

#include <gtest/gtest.h>

#include <climits>

#include "host/error.h"
#include "host/scripted_platform.h"
#include "text/clipboard.h"
#include "text/utf.h"

namespace kelvora {
namespace {

TEST(MessageTest, DecodesTitleAddsSystemModalAndReturnsTheButton) {
  host::ScopedScriptedPlatform p;
  p.messages.QueueAnswer(kIdYes);
  p.messages.QueueAnswer(kIdNo);
  EXPECT_EQ(ShowMessage(u"q", kMbYesNo, kMessageTitle), kIdYes);
  EXPECT_EQ(ShowMessage(u"", kMbYesNo, u"Thông Báo"), kIdNo);
  EXPECT_EQ(ShowMessage(u"x", 4096, u"T"), kIdOk);
  ASSERT_EQ(p.messages.shown().size(), 3u);
  EXPECT_EQ(Utf16ToUtf8(p.messages.shown()[0].caption), "Thông Báo");
  EXPECT_EQ(p.messages.shown()[0].style, 4 + 4096);
  EXPECT_EQ(Utf16ToUtf8(p.messages.shown()[1].caption), "Thông Báo");  // unchanged
  EXPECT_EQ(p.messages.shown()[1].text, u"");
  EXPECT_EQ(p.messages.shown()[2].style, 8192);  // an addition, not a union
}

TEST(MessageTest, OverflowingFlagsFailBeforeShowing) {
  host::ScopedScriptedPlatform p;
  try {
    ShowMessage(u"x", INT32_MAX - 100, kMessageTitle);
    FAIL();
  } catch (const CommandError& e) {
    EXPECT_EQ(e.number(), err::kOverflow);
  }
  EXPECT_TRUE(p.messages.shown().empty());
}

TEST(ClipboardTest, ReadsExactlyAndWritesReplace) {
  host::ScopedScriptedPlatform p;
  p.clipboard.set_text(u"Kỳ 1\r\nline 2\r\n");
  EXPECT_EQ(GetClipboardText(), u"Kỳ 1\r\nline 2\r\n");
  SetClipboardText(u"01,02");
  EXPECT_EQ(p.clipboard.text(), u"01,02");
  p.clipboard.set_fail_writes(true);
  EXPECT_THROW(SetClipboardText(u"x"), CommandError);
}

TEST(ClipboardTest, MissingServicesBehaveAsDocumented) {
  host::SetCurrentPlatform({});
  EXPECT_EQ(GetClipboardText(), u"");
  EXPECT_THROW(SetClipboardText(u"x"), CommandError);
  EXPECT_THROW(ShowMessage(u"x", 64, kMessageTitle), CommandError);
}

}  // namespace
}  // namespace kelvora
