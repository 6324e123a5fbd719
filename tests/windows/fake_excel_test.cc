// The fake Excel is as strict as Excel's dispatch, so that a call Excel would
// refuse or read differently fails here too.
#include <gtest/gtest.h>

#include <functional>

#include "excel/dispatch.h"
#include "host/error.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

using host::excel::Call;
using host::excel::DispatchPtr;
using host::excel::Variant;

TEST(FakeExcelTest, CallsAsExcelTakesThem) {
  const auto state = NewTemplateState();
  const auto app = DispatchPtr::Adopt(NewFakeApplication(state));
  const auto book = DispatchPtr::Adopt(NewFakeWorkbook(state));
  const DispatchPtr sheets = Call(book.get(), L"Worksheets").AsDispatch();
  const DispatchPtr sheet = Call(sheets.get(), L"Item", {Variant::Int(2)}).AsDispatch();
  const DispatchPtr block = Call(sheet.get(), L"Range", {Variant::Text(u"B7:D11")}).AsDispatch();
  const auto count = [&](const wchar_t* of) {
    return Call(Call(block.get(), of).AsDispatch().get(), L"Count");
  };
  // (call, its VT_I4 result or -1 for another, the error number of Excel's
  // refusal or 0)
  const std::tuple<const char*, std::function<Variant()>, LONG, int32_t> cases[] = {
      {"Rows.Count", [&] { return count(L"Rows"); }, 5, 0},
      {"Columns.Count", [&] { return count(L"Columns"); }, 3, 0},
      {"Worksheets.Count", [&] { return Call(sheets.get(), L"Count"); }, 3, 0},
      {"Row", [&] { return Call(block.get(), L"Row"); }, 7, 0},
      {"End(xlUp)", [&] { return Call(block.get(), L"End", {Variant::Int(-4162)}); }, -1, 0},
      {"End(3)", [&] { return Call(block.get(), L"End", {Variant::Int(3)}); }, -1, 0},
      {"End(xlDown)", [&] { return Call(block.get(), L"End", {Variant::Int(-4121)}); }, -1, 1004},
      {"End()", [&] { return Call(block.get(), L"End"); }, -1, 450},
      {"ClearContents(1)", [&] { return Call(block.get(), L"ClearContents", {Variant::Int(1)}); },
       -1, 450},
      {"Sort Headers:=",
       [&] {
         return Call(block.get(), L"Sort", {}, {{L"Headers", Variant()}});
       },
       -1, 438},
      {"Row = 1",
       [&] {
         host::excel::Put(block.get(), L"Row", Variant::Int(1));
         return Variant();
       },
       -1, 438},
  };
  for (const auto& [name, call, value, error] : cases) {
    SCOPED_TRACE(name);
    int32_t number = 0;
    try {
      const Variant v = call();
      EXPECT_TRUE(value < 0 || (V_VT(v.get()) == VT_I4 && V_I4(v.get()) == value));
    } catch (const CommandError& e) {
      number = e.number();
    }
    EXPECT_EQ(number, error);
  }
}

}  // namespace
}  // namespace kelvora::testing
