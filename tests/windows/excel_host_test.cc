// The Excel back end's own conversions and refusals, in process, against the
// fake Excel: the kinds of value and failure the sample runs through
// Kelvora.dll do not meet.
#include <functional>

#include "check.h"
#include "host/error.h"
#include "host/excel/excel_host.h"
#include "host/excel/variant_convert.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

using host::Value;
namespace ex = host::excel;

// Runs `f` and returns the number of the CommandError it threw (0 if none).
int32_t FailureNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const CommandError& e) {
    return e.number();
  }
  return 0;
}

TEST_CASE(VariantsBecomeCellValuesAndBack) {
  const std::vector<std::tuple<const char*, VARTYPE, std::function<void(VARIANT*)>, Value>> cases =
      {
          {"null", VT_NULL, [](VARIANT*) {}, Value()},
          {"long", VT_I4, [](VARIANT* v) { V_I4(v) = -70000; }, Value(-70000.0)},
          {"short", VT_I2, [](VARIANT* v) { V_I2(v) = 12; }, Value(12.0)},
          {"byte", VT_UI1, [](VARIANT* v) { V_UI1(v) = 200; }, Value(200.0)},
          {"single", VT_R4, [](VARIANT* v) { V_R4(v) = 0.5f; }, Value(0.5)},
          {"currency", VT_CY, [](VARIANT* v) { V_CY(v).int64 = 12345; }, Value(1.2345)},
          {"false", VT_BOOL, [](VARIANT* v) { V_BOOL(v) = VARIANT_FALSE; }, Value::Boolean(false)},
          {"null text", VT_BSTR, [](VARIANT* v) { V_BSTR(v) = nullptr; }, Value(u"")},
          {"date", VT_DATE, [](VARIANT* v) { V_DATE(v) = 45000.25; }, Value::Date(45000.25)},
          // Excel counts 1900-02-29, OLE does not.
          {"early date", VT_DATE, [](VARIANT* v) { V_DATE(v) = 2; }, Value::Date(1)},
          {"#N/A", VT_ERROR, [](VARIANT* v) { V_ERROR(v) = static_cast<SCODE>(0x800A07FA); },
           Value::Error(2042)},
      };
  for (const auto& [name, vt, fill, expected] : cases) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = vt;
    fill(&v);
    Value got;
    CHECK_MSG(FailureNumber([&] { got = ex::ToValue(v); }) == 0, name);
    CHECK_MSG(got == expected, std::string(name) + " converts");
    ex::Variant back = ex::ToVariant(expected);
    CHECK_MSG(FakeToValue(*back.get()) == expected, std::string(name) + " round trip");
  }
  for (const auto& [serial, ole] : std::vector<std::pair<double, double>>{{59, 60}, {61, 61}}) {
    CHECK_EQ(ex::SerialToOleDate(serial), ole);
    CHECK_EQ(ex::OleDateToSerial(ole), serial);
  }
  double d = 7;
  VARIANT ref;
  V_VT(&ref) = VT_R8 | VT_BYREF;
  V_R8REF(&ref) = &d;
  CHECK(ex::ToValue(ref) == Value(7.0));
  // An object is not a cell value.
  IDispatch* obj = NewFakeApplication(NewTemplateState());
  ex::Variant dv = ex::Variant::Dispatch(obj);
  obj->Release();
  CHECK_EQ(FailureNumber([&] { ex::ToValue(*dv.get()); }), 13);
}

TEST_CASE(RefusalsCarryTheHostsNumber) {
  auto state = NewTemplateState();
  IDispatch* a = NewFakeApplication(state);
  IDispatch* b = NewFakeWorkbook(state);
  auto app = ex::WrapApplication(a);
  auto sheet = ex::WrapWorkbook(b)->Worksheets()[0];
  CHECK_EQ(FailureNumber([&] { sheet->GetRange(u"NoSuchName"); }), 1004);
  CHECK_EQ(FailureNumber([&] { sheet->GetRange(u"A1")->Resize(0, 2); }), 1004);
  CHECK_EQ(FailureNumber([&] { ex::Call(a, L"NoSuchMember"); }), 438);
  CHECK_EQ(FailureNumber([&] { ex::Call(nullptr, L"Value"); }), 91);
  a->Release();
  b->Release();
}

}  // namespace
}  // namespace kelvora::testing
