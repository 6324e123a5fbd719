// The Excel back end against the fake Excel: the host layer's conformance
// cases, and the kinds of VARIANT Excel hands back that the fake never does;
// and its Windows clipboard against another program that holds it a while.
#include <functional>
#include <optional>
#include <set>
#include <thread>

#include "excel/excel_host.h"
#include "excel/variant_convert.h"
#include "excel/windows_platform.h"
#include "host/error.h"
#include "host_conformance.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

using host::Value;

HostUnderTest ExcelHost(const std::shared_ptr<FakeExcelState>& state) {
  const auto app = host::excel::DispatchPtr::Adopt(NewFakeApplication(state));
  const auto book = host::excel::DispatchPtr::Adopt(NewFakeWorkbook(state));
  return {host::excel::WrapApplication(app.get()), host::excel::WrapWorkbook(book.get()),
          state->app};
}

TEST_P(HostConformanceTest, Excel) {
  const auto state = NewTemplateState();
  RunConformanceCase(GetParam(), [&] { return ExcelHost(state); });
  // Excel reads arguments in the locale of the call; VBA's is 1033.
  EXPECT_EQ(state->locales, std::set<LCID>{1033});
}

TEST(ExcelHostTest, SortTakesEveryRowAsDataWhateverTheLastSort) {
  const auto state = NewTemplateState();
  // The user's last sort on the sheet had a header row.
  state->sort_header = 1;
  HostUnderTest h = ExcelHost(state);
  auto paste = h.book->Worksheets().at(1);
  auto block = paste->GetRange(u"A1:A3");
  host::Table keys(3, 1);
  for (int32_t r = 1; r <= 3; ++r) keys(r, 1) = Value(4 - r);
  block->SetValues(keys);
  block->Sort(*paste->GetRange(u"A1"), host::kXlAscending);
  const host::Table sorted = block->GetValues();
  std::vector<double> column;
  for (int32_t r = 1; r <= 3; ++r) column.push_back(sorted(r, 1).number());
  EXPECT_EQ(column, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(state->sort_header, 2);
}

TEST(VariantConvertTest, VariantsBecomeCellValues) {
  double seven = 7;
  IDispatch* app = NewFakeApplication(NewTemplateState());
  const std::tuple<const char*, VARTYPE, std::function<void(VARIANT*)>, Value> cases[] = {
      {"null", VT_NULL, [](VARIANT*) {}, Value()},
      {"short", VT_I2, [](VARIANT* v) { V_I2(v) = 12; }, Value(12.0)},
      {"single", VT_R4, [](VARIANT* v) { V_R4(v) = 0.5f; }, Value(0.5)},
      {"currency", VT_CY, [](VARIANT* v) { V_CY(v).int64 = 12345; }, Value(1.2345)},
      {"null text", VT_BSTR, [](VARIANT* v) { V_BSTR(v) = nullptr; }, Value(u"")},
      // Excel counts 1900-02-29, OLE does not.
      {"early date", VT_DATE, [](VARIANT* v) { V_DATE(v) = 2; }, Value::Date(1)},
      {"by reference", VT_R8 | VT_BYREF, [&](VARIANT* v) { V_R8REF(v) = &seven; }, Value(7.0)},
      {"object", VT_DISPATCH, [&](VARIANT* v) { V_DISPATCH(v) = app; }, Value::Error(13)}};
  for (const auto& [name, vt, fill, expected] : cases) {
    VARIANT v;
    V_VT(&v) = vt;
    fill(&v);
    Value got;
    try {
      got = host::excel::ToValue(v);
    } catch (const CommandError& e) {
      got = Value::Error(e.number());  // an object is no cell value
    }
    EXPECT_TRUE(got == expected) << name;
  }
  app->Release();
}

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
