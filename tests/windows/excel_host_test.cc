// The Excel back end of the host layer, in process, against the fake Excel:
// every member the engine uses goes through late-bound IDispatch calls and
// must behave as the host layer's contract says.
#include <cmath>
#include <functional>
#include <tuple>

#include "check.h"
#include "host/error.h"
#include "host/excel/excel_host.h"
#include "host/excel/variant_convert.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

using host::Table;
using host::Value;
namespace ex = host::excel;

struct Bound {
  std::shared_ptr<FakeExcelState> state = NewTemplateState();
  std::shared_ptr<host::Application> app;
  std::shared_ptr<host::Workbook> book;
  Bound() {
    IDispatch* a = NewFakeApplication(state);
    IDispatch* b = NewFakeWorkbook(state);
    app = ex::WrapApplication(a);
    book = ex::WrapWorkbook(b);
    a->Release();
    b->Release();
  }
  std::shared_ptr<host::Worksheet> Sheet(const std::u16string& code) {
    for (auto& s : book->Worksheets()) {
      if (s->CodeName() == code) return s;
    }
    return nullptr;
  }
  host::memory::MemoryWorksheet& Mem(const std::u16string& code) {
    return *state->book->SheetByCodeName(code);
  }
  bool Logged(const std::string& entry) const {
    for (const auto& e : state->log) {
      if (e == entry) return true;
    }
    return false;
  }
};

// Runs `f` and returns the CommandError it threw (number 0 when none).
template <typename F>
CommandError Failure(F&& f) {
  try {
    f();
  } catch (const CommandError& e) {
    return e;
  }
  return CommandError(0, "");
}

TEST_CASE(VariantScalarsBecomeCellValues) {
  struct Case {
    const char* name;
    VARTYPE vt;
    std::function<void(VARIANT*)> fill;
    Value expected;
  };
  const std::vector<Case> cases = {
      {"empty", VT_EMPTY, [](VARIANT*) {}, Value()},
      {"null", VT_NULL, [](VARIANT*) {}, Value()},
      {"double", VT_R8, [](VARIANT* v) { V_R8(v) = 2.5; }, Value(2.5)},
      {"long", VT_I4, [](VARIANT* v) { V_I4(v) = -70000; }, Value(-70000.0)},
      {"short", VT_I2, [](VARIANT* v) { V_I2(v) = 12; }, Value(12.0)},
      {"byte", VT_UI1, [](VARIANT* v) { V_UI1(v) = 200; }, Value(200.0)},
      {"single", VT_R4, [](VARIANT* v) { V_R4(v) = 0.5f; }, Value(0.5)},
      {"currency", VT_CY, [](VARIANT* v) { V_CY(v).int64 = 12345; }, Value(1.2345)},
      {"true", VT_BOOL, [](VARIANT* v) { V_BOOL(v) = VARIANT_TRUE; }, Value::Boolean(true)},
      {"false", VT_BOOL, [](VARIANT* v) { V_BOOL(v) = VARIANT_FALSE; }, Value::Boolean(false)},
      {"text", VT_BSTR, [](VARIANT* v) { V_BSTR(v) = SysAllocString(L"12345"); }, Value(u"12345")},
      {"empty text", VT_BSTR, [](VARIANT* v) { V_BSTR(v) = nullptr; }, Value(u"")},
      {"date", VT_DATE, [](VARIANT* v) { V_DATE(v) = 45000.25; }, Value::Date(45000.25)},
      {"early date", VT_DATE, [](VARIANT* v) { V_DATE(v) = 2; }, Value::Date(1)},
      {"#N/A", VT_ERROR, [](VARIANT* v) { V_ERROR(v) = static_cast<SCODE>(0x800A07FA); },
       Value::Error(2042)},
      {"#DIV/0!", VT_ERROR, [](VARIANT* v) { V_ERROR(v) = static_cast<SCODE>(0x800A07D7); },
       Value::Error(2007)},
  };
  for (const Case& c : cases) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = c.vt;
    c.fill(&v);
    Value got;
    try {
      got = ex::ToValue(v);
    } catch (const CommandError& e) {
      CHECK_MSG(false, std::string(c.name) + ": " + e.description());
    }
    CHECK_MSG(got == c.expected, std::string(c.name) + " converts");
    // And back: what the engine writes reads the same.
    ex::Variant back = ex::ToVariant(c.expected);
    CHECK_MSG(FakeToValue(*back.get()) == c.expected, std::string(c.name) + " round trip");
    VariantClear(&v);
  }
  // A value passed by reference is read through.
  double d = 7;
  VARIANT inner;
  VariantInit(&inner);
  V_VT(&inner) = VT_R8 | VT_BYREF;
  V_R8REF(&inner) = &d;
  CHECK(ex::ToValue(inner) == Value(7.0));
  // An object is not a cell value.
  IDispatch* obj = NewFakeApplication(NewTemplateState());
  ex::Variant dv = ex::Variant::Dispatch(obj);
  obj->Release();
  CHECK_EQ(Failure([&] { ex::ToValue(*dv.get()); }).number(), 13);
}

TEST_CASE(DatesMapBetweenOleAndSerial) {
  // (serial, OLE date): Excel counts 1900-02-29, OLE does not.
  const std::vector<std::pair<double, double>> cases = {
      {1, 2}, {59, 60}, {61, 61}, {45000, 45000}, {45000.5, 45000.5}};
  for (const auto& [serial, ole] : cases) {
    CHECK_EQ(ex::SerialToOleDate(serial), ole);
    CHECK_EQ(ex::OleDateToSerial(ole), serial);
  }
}

TEST_CASE(ArraysKeepRowsAndColumns) {
  // A 3 by 2 array with lower bounds 0 and 5, filled element by element.
  SAFEARRAYBOUND b[2] = {{3, 0}, {2, 5}};
  SAFEARRAY* arr = SafeArrayCreate(VT_VARIANT, 2, b);
  for (LONG r = 0; r < 3; ++r) {
    for (LONG c = 5; c < 7; ++c) {
      VARIANT v;
      VariantInit(&v);
      V_VT(&v) = VT_R8;
      V_R8(&v) = (r + 1) * 10 + (c - 4);
      LONG idx[2] = {r, c};
      SafeArrayPutElement(arr, idx, &v);
    }
  }
  VARIANT holder;
  VariantInit(&holder);
  V_VT(&holder) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&holder) = arr;
  const Table t = ex::ToTable(holder);
  CHECK_EQ(t.rows(), 3);
  CHECK_EQ(t.cols(), 2);
  for (int32_t r = 1; r <= 3; ++r) {
    for (int32_t c = 1; c <= 2; ++c) CHECK(t(r, c) == Value(r * 10.0 + c));
  }
  VariantClear(&holder);

  // The engine's arrays are 1-based, rows first.
  Table w(2, 3);
  w(1, 3) = Value(u"x");
  w(2, 1) = Value(5.0);
  ex::Variant out = ex::ToVariantArray(w);
  SAFEARRAY* o = V_ARRAY(out.get());
  LONG lo1 = 0, hi1 = 0, hi2 = 0;
  SafeArrayGetLBound(o, 1, &lo1);
  SafeArrayGetUBound(o, 1, &hi1);
  SafeArrayGetUBound(o, 2, &hi2);
  CHECK(lo1 == 1 && hi1 == 2 && hi2 == 3);
  for (const auto& [r, c, value] : {std::tuple{1, 3, Value(u"x")}, std::tuple{2, 1, Value(5.0)}}) {
    VARIANT e;
    VariantInit(&e);
    LONG idx[2] = {r, c};
    SafeArrayGetElement(o, idx, &e);
    CHECK(FakeToValue(e) == value);
    VariantClear(&e);
  }
  // A scalar is a one-cell table.
  ex::Variant s = ex::Variant::Text(u"7");
  const Table one = ex::ToTable(*s.get());
  CHECK(one.rows() == 1 && one.cols() == 1 && one(1, 1) == Value(u"7"));
}

TEST_CASE(WorksheetsAreEnumeratedInOrder) {
  Bound b;
  b.state->book->AddSheet(u"Sheet9", u"Extra");
  const auto sheets = b.book->Worksheets();
  CHECK_EQ(sheets.size(), b.state->book->sheets().size());
  for (size_t i = 0; i < sheets.size(); ++i) {
    CHECK(sheets[i]->CodeName() == b.state->book->sheets()[i]->CodeName());
    CHECK(sheets[i]->Name() == b.state->book->sheets()[i]->Name());
  }
  CHECK(b.Logged("Sheets.Count"));
  CHECK(b.Logged("Sheets.Item"));
}

TEST_CASE(RangeReadsAndWrites) {
  Bound b;
  auto sheet = b.Sheet(u"Sheet2");
  auto& mem = b.Mem(u"Sheet2");
  mem.PutValue(1, 1, Value(u"a"));
  mem.PutValue(2, 2, Value(3.0));
  // One cell: a scalar, also as a 1 by 1 table.
  CHECK(sheet->GetRange(u"A1")->GetValue() == Value(u"a"));
  const Table one = sheet->GetRange(u"B2")->GetValues();
  CHECK(one.rows() == 1 && one.cols() == 1 && one(1, 1) == Value(3.0));
  // A block: every cell in place, empty ones empty.
  const Table block = sheet->GetRange(u"A1:C2")->GetValues();
  CHECK(block.rows() == 2 && block.cols() == 3);
  CHECK(block(1, 1) == Value(u"a") && block(2, 2) == Value(3.0) && block(1, 2).IsEmpty());
  // The top-left value of a block.
  CHECK(sheet->GetRange(u"A1:C2")->GetValue() == Value(u"a"));

  // A block write through Resize, with each kind of value.
  Table w(2, 2);
  w(1, 1) = Value(1.5);
  w(1, 2) = Value(u"x");
  w(2, 1) = Value::Boolean(true);
  w(2, 2) = Value::Error(2042);
  sheet->GetRange(u"D5")->Resize(2, 2)->SetValues(w);
  for (int32_t r = 1; r <= 2; ++r)
    for (int32_t c = 1; c <= 2; ++c) CHECK(mem.cell(r + 4, c + 3).value == w(r, c));
  // A text that reads as a number stays a text only in a cell formatted "@"
  // (L3 in the template), else the host stores the number.
  auto main = b.Sheet(u"Sheet1");
  main->GetRange(u"L3")->SetValue(Value(u"007"));
  main->GetRange(u"M3")->SetValue(Value(u"007"));
  CHECK(b.Mem(u"Sheet1").cell(3, 12).value == Value(u"007"));
  CHECK(b.Mem(u"Sheet1").cell(3, 13).value == Value(7.0));
  // A table of another shape is refused before anything is written.
  CHECK_EQ(Failure([&] { sheet->GetRange(u"D5:E7")->SetValues(w); }).number(), 1004);
  CHECK(mem.cell(7, 4).value.IsEmpty());
  // A write through a defined name asks the host for the block's shape.
  auto settings = b.Sheet(u"Sheet3");
  Table kinds(6, 1);
  for (int32_t r = 1; r <= 6; ++r) kinds(r, 1) = Value(u"k" + std::u16string(1, u'0' + r));
  settings->GetRange(u"KieuDanh")->SetValues(kinds);
  CHECK(b.Mem(u"Sheet3").cell(6, 1).value == Value(u"k6"));
  CHECK_EQ(Failure([&] { settings->GetRange(u"KieuDanh")->SetValues(w); }).number(), 1004);
  CHECK(b.Logged("Range.Value=put"));
}

TEST_CASE(EndRowResizeAndClear) {
  Bound b;
  auto sheet = b.Sheet(u"Sheet2");
  auto& mem = b.Mem(u"Sheet2");
  for (int32_t r = 1; r <= 40; ++r) mem.PutValue(r, 1, Value(static_cast<double>(r)));
  // (start cell, expected row of End(xlUp))
  const std::vector<std::pair<std::u16string, int32_t>> ends = {
      {u"A1000000", 40}, {u"A40", 1}, {u"B100", 1}, {u"A41", 40}};
  for (const auto& [start, row] : ends) {
    CHECK_EQ(sheet->GetRange(start)->End(host::kXlUp)->Row(), row);
  }
  CHECK_EQ(sheet->GetRange(u"C17:D20")->Row(), 17);
  CHECK_EQ(Failure([&] { sheet->GetRange(u"A1")->Resize(0, 2); }).number(), 1004);
  mem.SetNumberFormat({1, 1, 2, 1}, u"@");
  sheet->GetRange(u"A1")->Resize(2, 1)->ClearContents();
  CHECK(mem.cell(1, 1).value.IsEmpty() && mem.cell(2, 1).value.IsEmpty());
  CHECK(mem.cell(3, 1).value == Value(3.0));
  CHECK(mem.NumberFormat(1, 1) == u"@");
}

TEST_CASE(SortPassesKeyAndOrderByName) {
  Bound b;
  auto sheet = b.Sheet(u"Sheet2");
  auto& mem = b.Mem(u"Sheet2");
  const std::vector<Value> column = {Value(u"Heading"), Value(3.0), Value(), Value(1.0),
                                     Value(2.0)};
  for (size_t i = 0; i < column.size(); ++i) {
    mem.PutValue(static_cast<int32_t>(i + 1), 1, column[i]);
    mem.PutValue(static_cast<int32_t>(i + 1), 2, Value(static_cast<double>(i)));
  }
  auto key = sheet->GetRange(u"A1");
  sheet->GetRange(u"A1:B5")->Sort(*key, host::kXlAscending);
  CHECK(b.Logged("Range.Sort(Key1,Order1)"));
  // Numbers first, then texts, blanks last; the second column moves along.
  const std::vector<std::pair<Value, double>> expected = {
      {Value(1.0), 3}, {Value(2.0), 4}, {Value(3.0), 1}, {Value(u"Heading"), 0}, {Value(), 2}};
  for (size_t i = 0; i < expected.size(); ++i) {
    CHECK(mem.cell(static_cast<int32_t>(i + 1), 1).value == expected[i].first);
    CHECK(mem.cell(static_cast<int32_t>(i + 1), 2).value == Value(expected[i].second));
  }
}

TEST_CASE(PasteSpecialPassesItsNamedArguments) {
  Bound b;
  auto sheet = b.Sheet(u"Sheet2");
  // Nothing suitable on the clipboard: the host refuses with its own text.
  const CommandError refused = Failure([&] { sheet->PasteSpecial(u"HTML", false, false, true); });
  CHECK_EQ(refused.number(), 1004);
  CHECK_EQ(refused.description(), std::string("PasteSpecial method of Worksheet class failed"));
  CHECK(b.Logged("Worksheet.PasteSpecial(Format,Link,DisplayAsIcon,NoHTMLFormatting)"));

  Table grid(2, 2);
  grid(1, 1) = Value(u"Ky");
  grid(2, 1) = Value(101.0);
  grid(2, 2) = Value(u"12345");
  b.state->paste_grid = grid;
  sheet->Activate();
  sheet->GetRange(u"A1")->Select();
  sheet->PasteSpecial(u"HTML", false, false, true);
  CHECK(b.Mem(u"Sheet2").cell(2, 1).value == Value(101.0));
  CHECK(b.Mem(u"Sheet2").cell(2, 2).value == Value(u"12345"));
  CHECK(b.Logged("Worksheet.Activate") && b.Logged("Range.Select"));
}

TEST_CASE(ApplicationSettingsAndFunctions) {
  Bound b;
  b.app->SetScreenUpdating(false);
  b.app->SetDisplayAlerts(false);
  b.app->SetCutCopyMode(false);
  b.app->SetCellDragAndDrop(true);
  const std::vector<std::string> expected = {"ScreenUpdating=false", "DisplayAlerts=false",
                                             "CutCopyMode=false", "CellDragAndDrop=true"};
  CHECK(b.state->app->property_log() == expected);
  auto f = b.app->GetWorksheetFunction();
  const std::vector<std::tuple<double, double, double>> mins = {
      {1, 2, 1}, {-3, 2, -3}, {5.5, 5.25, 5.25}};
  for (const auto& [x, y, m] : mins) CHECK_EQ(f->Min(x, y), m);
  const std::vector<std::pair<std::u16string, std::u16string>> trims = {
      {u"  a   b  ", u"a b"}, {u"", u""}, {u"\ta  b", u"\ta b"}};
  for (const auto& [in, out] : trims) CHECK(f->Trim(in) == out);
}

TEST_CASE(RefusalsCarryTheHostsNumberAndText) {
  Bound b;
  auto sheet = b.Sheet(u"Sheet1");
  const CommandError unknown = Failure([&] { sheet->GetRange(u"NoSuchName"); });
  CHECK_EQ(unknown.number(), 1004);
  b.state->refuse_value_reads = true;
  const CommandError read = Failure([&] { sheet->GetRange(u"L3")->GetValue(); });
  CHECK_EQ(read.number(), 1004);
  CHECK_EQ(read.description(), std::string("Unable to get the Value property"));
  // A member the object does not have.
  IDispatch* app = NewFakeApplication(b.state);
  const CommandError missing = Failure([&] { ex::Call(app, L"NoSuchMember"); });
  app->Release();
  CHECK_EQ(missing.number(), 438);
  // An empty object reference.
  CHECK_EQ(Failure([&] { ex::Call(nullptr, L"Value"); }).number(), 91);
}

TEST_CASE(EveryReferenceIsGivenBack) {
  const long before = FakeObjectsAlive();
  {
    Bound b;
    auto sheet = b.Sheet(u"Sheet1");
    auto r = sheet->GetRange(u"A1")->Resize(3, 2)->End(host::kXlUp);
    (void)b.app->GetWorksheetFunction();
    CHECK(FakeObjectsAlive() > before);
  }
  CHECK_EQ(FakeObjectsAlive(), before);
}

}  // namespace
}  // namespace kelvora::testing
