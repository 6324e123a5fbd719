// The Windows clipboard against another program that holds it for a while.
#include "excel/windows_platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <thread>

#include "host/error.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

// Another program holding the clipboard open, from a thread and a window of
// its own, until LetGo.
class OtherProgram {
 public:
  OtherProgram() { WaitForSingleObject(held_, INFINITE); }
  ~OtherProgram() {
    LetGo();
    CloseHandle(held_);
    CloseHandle(let_go_);
  }
  void LetGo() {
    SetEvent(let_go_);
    if (thread_.joinable()) thread_.join();
  }

 private:
  HANDLE held_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE let_go_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::thread thread_{[this] {
    const HWND window = MessageWindow();
    const bool open = OpenClipboard(window);
    SetEvent(held_);
    WaitForSingleObject(let_go_, INFINITE);
    if (open) CloseClipboard();
    DestroyWindow(window);
  }};
};

TEST(WindowsPlatformTest, ClipboardWaitsForAnotherProgramAndOwnsWhatItWrites) {
  const HWND owner = MessageWindow();
  constexpr int kTries = 3;
  // (write or read, pauses the other program holds the clipboard for, -1
  // for all of them; the error of the write, the text read)
  const std::tuple<bool, int, int32_t, const char16_t*> cases[] = {{true, 0, 0, u""},
                                                                   {true, 2, 0, u""},
                                                                   {true, -1, 1004, u""},
                                                                   {false, 2, 0, u"2 0"},
                                                                   {false, -1, 0, u""}};
  for (const auto& [write, held, error, read] : cases) {
    SCOPED_TRACE((write ? "write, held " : "read, held ") + std::to_string(held));
    std::optional<OtherProgram> other;
    if (held != 0) other.emplace();
    int pauses = 0;
    host::excel::WindowsClipboard clipboard(reinterpret_cast<std::intptr_t>(owner),
                                            {kTries, 1, [&](unsigned) {
                                               if (++pauses == held) other->LetGo();
                                             }});
    const std::u16string text = std::u16string(1, u'0' + held) + u" 0";
    int32_t number = 0;
    if (write) {
      try {
        clipboard.SetText(text);
      } catch (const CommandError& e) {
        number = e.number();
      }
    } else {
      EXPECT_TRUE(clipboard.GetText() == read);
    }
    EXPECT_EQ(pauses, held < 0 ? kTries - 1 : held);
    EXPECT_EQ(number, error);
    other.reset();
    if (write && error == 0) {
      EXPECT_EQ(GetClipboardOwner(), owner);
      EXPECT_TRUE(clipboard.GetText() == text);
    }
    // Closed again on every path.
    EXPECT_TRUE(OpenClipboard(nullptr) && CloseClipboard());
  }
  DestroyWindow(owner);
}

}  // namespace
}  // namespace kelvora::testing
