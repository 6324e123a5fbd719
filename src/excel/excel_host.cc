#include "excel/excel_host.h"

#include <optional>

#include "excel/variant_convert.h"
#include "host/cell_ref.h"
#include "host/error.h"

namespace kelvora::host::excel {

namespace {

// Range.Sort's Header: the block has no header row.
constexpr int32_t kXlNo = 2;

int32_t ToInt(const Variant& v) {
  const Value value = ToValue(*v.get());
  if (!value.IsNumber()) ThrowTypeMismatch();
  return static_cast<int32_t>(value.number());
}

std::u16string ToText(const Variant& v) {
  const Value value = ToValue(*v.get());
  if (value.IsText()) return value.text();
  if (value.IsEmpty()) return {};
  ThrowTypeMismatch();
}

struct Shape {
  int32_t rows;
  int32_t cols;
};

class ExcelRange : public Range {
 public:
  ExcelRange(DispatchPtr range, std::optional<Shape> shape)
      : range_(std::move(range)), shape_(shape) {}

  IDispatch* dispatch() const { return range_.get(); }

  Value GetValue() override {
    Variant v = Call(range_.get(), L"Value");
    if (V_VT(v.get()) & VT_ARRAY) {
      Table t = ToTable(*v.get());
      if (t.empty()) return Value();
      return t(1, 1);
    }
    return ToValue(*v.get());
  }

  Table GetValues() override {
    Variant v = Call(range_.get(), L"Value");
    return ToTable(*v.get());
  }

  void SetValue(const Value& v) override { Put(range_.get(), L"Value", ToVariant(v)); }

  void SetValues(const Table& values) override {
    const Shape s = GetShape();
    if (values.rows() != s.rows || values.cols() != s.cols) {
      ThrowHostRefused("The array does not have the shape of the range");
    }
    Put(range_.get(), L"Value", ToVariantArray(values));
  }

  std::unique_ptr<Range> Resize(int32_t rows, int32_t cols) override {
    if (rows < 1 || cols < 1) ThrowHostRefused("Application-defined or object-defined error");
    Variant r = Call(range_.get(), L"Resize", Args(Variant::Int(rows), Variant::Int(cols)));
    return std::make_unique<ExcelRange>(r.AsDispatch(), Shape{rows, cols});
  }

  void ClearContents() override { Call(range_.get(), L"ClearContents"); }

  std::unique_ptr<Range> End(int direction) override {
    Variant r = Call(range_.get(), L"End", Args(Variant::Int(direction)));
    return std::make_unique<ExcelRange>(r.AsDispatch(), Shape{1, 1});
  }

  int32_t Row() override { return ToInt(Call(range_.get(), L"Row")); }
  int32_t Column() override { return ToInt(Call(range_.get(), L"Column")); }

  void Sort(Range& key1, int order1) override {
    auto* key = dynamic_cast<ExcelRange*>(&key1);
    if (key == nullptr) ThrowTypeMismatch();
    std::vector<NamedArg> named;
    named.push_back({L"Key1", Variant::Dispatch(key->dispatch())});
    named.push_back({L"Order1", Variant::Int(order1)});
    // Excel keeps the Header of the sheet's last sort, the user's included,
    // for a sort that omits it; every row of the block is data.
    named.push_back({L"Header", Variant::Int(kXlNo)});
    Call(range_.get(), L"Sort", {}, std::move(named));
  }

  void Select() override { Call(range_.get(), L"Select"); }

 private:
  static std::vector<Variant> Args(Variant a) {
    std::vector<Variant> v;
    v.push_back(std::move(a));
    return v;
  }
  static std::vector<Variant> Args(Variant a, Variant b) {
    std::vector<Variant> v;
    v.push_back(std::move(a));
    v.push_back(std::move(b));
    return v;
  }

  // The block's size: known when the range was made by address or Resize,
  // asked of Excel otherwise (a defined name).
  Shape GetShape() {
    if (!shape_) {
      Variant rows = Call(range_.get(), L"Rows");
      Variant cols = Call(range_.get(), L"Columns");
      shape_ = Shape{ToInt(Call(rows.AsDispatch().get(), L"Count")),
                     ToInt(Call(cols.AsDispatch().get(), L"Count"))};
    }
    return *shape_;
  }

  DispatchPtr range_;
  std::optional<Shape> shape_;
};

class ExcelWorksheet : public Worksheet {
 public:
  explicit ExcelWorksheet(DispatchPtr sheet) : sheet_(std::move(sheet)) {}

  std::u16string CodeName() override { return ToText(Call(sheet_.get(), L"CodeName")); }
  std::u16string Name() override { return ToText(Call(sheet_.get(), L"Name")); }

  std::unique_ptr<Range> GetRange(const std::u16string& address_or_name) override {
    std::vector<Variant> args;
    args.push_back(Variant::Text(address_or_name));
    Variant r = Call(sheet_.get(), L"Range", std::move(args));
    std::optional<Shape> shape;
    if (auto area = ParseA1Area(address_or_name)) shape = Shape{area->rows(), area->cols()};
    return std::make_unique<ExcelRange>(r.AsDispatch(), shape);
  }

  std::unique_ptr<Range> UsedRange() override {
    Variant r = Call(sheet_.get(), L"UsedRange");
    return std::make_unique<ExcelRange>(r.AsDispatch(), std::nullopt);
  }

  void Activate() override { Call(sheet_.get(), L"Activate"); }

  void PasteSpecial(const std::u16string& format, bool link, bool display_as_icon,
                    bool no_html_formatting) override {
    std::vector<NamedArg> named;
    named.push_back({L"Format", Variant::Text(format)});
    named.push_back({L"Link", Variant::Bool(link)});
    named.push_back({L"DisplayAsIcon", Variant::Bool(display_as_icon)});
    named.push_back({L"NoHTMLFormatting", Variant::Bool(no_html_formatting)});
    Call(sheet_.get(), L"PasteSpecial", {}, std::move(named));
  }

 private:
  DispatchPtr sheet_;
};

class ExcelWorkbook : public Workbook {
 public:
  explicit ExcelWorkbook(DispatchPtr book) : book_(std::move(book)) {}

  std::vector<std::shared_ptr<Worksheet>> Worksheets() override {
    Variant sheets_v = Call(book_.get(), L"Worksheets");
    DispatchPtr sheets = sheets_v.AsDispatch();
    const int32_t count = ToInt(Call(sheets.get(), L"Count"));
    std::vector<std::shared_ptr<Worksheet>> out;
    out.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    for (int32_t i = 1; i <= count; ++i) {
      std::vector<Variant> args;
      args.push_back(Variant::Int(i));
      Variant sheet = Call(sheets.get(), L"Item", std::move(args));
      out.push_back(std::make_shared<ExcelWorksheet>(sheet.AsDispatch()));
    }
    return out;
  }

 private:
  DispatchPtr book_;
};

class ExcelWorksheetFunction : public WorksheetFunction {
 public:
  explicit ExcelWorksheetFunction(DispatchPtr f) : f_(std::move(f)) {}

  double Min(double a, double b) override {
    std::vector<Variant> args;
    args.push_back(Variant::Double(a));
    args.push_back(Variant::Double(b));
    const Value v = ToValue(*Call(f_.get(), L"Min", std::move(args)).get());
    if (!v.IsNumber()) ThrowTypeMismatch();
    return v.number();
  }

  std::u16string Trim(const std::u16string& text) override {
    std::vector<Variant> args;
    args.push_back(Variant::Text(text));
    return ToText(Call(f_.get(), L"Trim", std::move(args)));
  }

 private:
  DispatchPtr f_;
};

class ExcelApplication : public Application {
 public:
  explicit ExcelApplication(DispatchPtr app) : app_(std::move(app)) {}

  std::shared_ptr<WorksheetFunction> GetWorksheetFunction() override {
    Variant f = Call(app_.get(), L"WorksheetFunction");
    return std::make_shared<ExcelWorksheetFunction>(f.AsDispatch());
  }
  void SetScreenUpdating(bool on) override {
    Put(app_.get(), L"ScreenUpdating", Variant::Bool(on));
  }
  void SetDisplayAlerts(bool on) override { Put(app_.get(), L"DisplayAlerts", Variant::Bool(on)); }
  void SetCutCopyMode(bool on) override { Put(app_.get(), L"CutCopyMode", Variant::Bool(on)); }
  void SetCellDragAndDrop(bool on) override {
    Put(app_.get(), L"CellDragAndDrop", Variant::Bool(on));
  }
  // Excel gives a Long; a window handle keeps its meaning sign-extended.
  std::intptr_t Hwnd() override { return ToInt(Call(app_.get(), L"Hwnd")); }

 private:
  DispatchPtr app_;
};

}  // namespace

std::shared_ptr<Application> WrapApplication(IDispatch* app) {
  if (app == nullptr) return nullptr;
  return std::make_shared<ExcelApplication>(DispatchPtr(app));
}

std::shared_ptr<Workbook> WrapWorkbook(IDispatch* workbook) {
  if (workbook == nullptr) return nullptr;
  return std::make_shared<ExcelWorkbook>(DispatchPtr(workbook));
}

std::shared_ptr<Worksheet> WrapWorksheet(IDispatch* sheet) {
  if (sheet == nullptr) return nullptr;
  return std::make_shared<ExcelWorksheet>(DispatchPtr(sheet));
}

std::unique_ptr<Range> WrapRange(IDispatch* range) {
  if (range == nullptr) return nullptr;
  return std::make_unique<ExcelRange>(DispatchPtr(range), std::nullopt);
}

}  // namespace kelvora::host::excel
