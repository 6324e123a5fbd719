#include "support/fault_injection.h"

namespace kelvora::host {
namespace {

// The wrapper of one interface: every member asks the plan, then calls the
// same member of the wrapped object.
template <class Interface>
class Faulty : public Interface {
 public:
  using I = Interface;
  Faulty(std::shared_ptr<I> target, std::shared_ptr<FaultPlan> plan)
      : target_(std::move(target)), plan_(std::move(plan)) {}

 protected:
  template <class R, class... P, class... A>
  R Forward(const char* member, R (I::*fn)(P...), A&&... args) {
    plan_->Check(member);
    return (target_.get()->*fn)(std::forward<A>(args)...);
  }

  std::shared_ptr<I> target_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyRange : public Faulty<Range> {
 public:
  using Faulty::Faulty;
  Value GetValue() override { return Forward("Range.GetValue", &I::GetValue); }
  Table GetValues() override { return Forward("Range.GetValues", &I::GetValues); }
  void SetValue(const Value& v) override { Forward("Range.SetValue", &I::SetValue, v); }
  void SetValues(const Table& v) override { Forward("Range.SetValues", &I::SetValues, v); }
  std::unique_ptr<Range> Resize(int32_t r, int32_t c) override {
    return Wrap(Forward("Range.Resize", &I::Resize, r, c));
  }
  void ClearContents() override { Forward("Range.ClearContents", &I::ClearContents); }
  std::unique_ptr<Range> End(int d) override { return Wrap(Forward("Range.End", &I::End, d)); }
  int32_t Row() override { return Forward("Range.Row", &I::Row); }
  int32_t Column() override { return Forward("Range.Column", &I::Column); }
  void Sort(Range& key1, int order1) override {
    // The back end sees its own range as the key.
    auto* key = dynamic_cast<FaultyRange*>(&key1);
    Forward("Range.Sort", &I::Sort, key ? *key->target_ : key1, order1);
  }
  void Select() override { Forward("Range.Select", &I::Select); }

 private:
  std::unique_ptr<Range> Wrap(std::unique_ptr<Range> r) {
    return std::make_unique<FaultyRange>(std::move(r), plan_);
  }
};

class FaultyWorksheet : public Faulty<Worksheet> {
 public:
  using Faulty::Faulty;
  std::u16string CodeName() override { return Forward("Worksheet.CodeName", &I::CodeName); }
  std::u16string Name() override { return Forward("Worksheet.Name", &I::Name); }
  std::unique_ptr<Range> GetRange(const std::u16string& a) override {
    return std::make_unique<FaultyRange>(Forward("Worksheet.Range", &I::GetRange, a), plan_);
  }
  std::unique_ptr<Range> UsedRange() override {
    return std::make_unique<FaultyRange>(Forward("Worksheet.UsedRange", &I::UsedRange), plan_);
  }
  void Activate() override { Forward("Worksheet.Activate", &I::Activate); }
  void PasteSpecial(const std::u16string& f, bool l, bool d, bool n) override {
    Forward("Worksheet.PasteSpecial", &I::PasteSpecial, f, l, d, n);
  }
};

class FaultyWorkbook : public Faulty<Workbook> {
 public:
  using Faulty::Faulty;
  std::vector<std::shared_ptr<Worksheet>> Worksheets() override {
    auto sheets = Forward("Workbook.Worksheets", &I::Worksheets);
    for (auto& s : sheets) s = std::make_shared<FaultyWorksheet>(s, plan_);
    return sheets;
  }
};

class FaultyFunction : public Faulty<WorksheetFunction> {
 public:
  using Faulty::Faulty;
  double Min(double a, double b) override {
    return Forward("WorksheetFunction.Min", &I::Min, a, b);
  }
  std::u16string Trim(const std::u16string& s) override {
    return Forward("WorksheetFunction.Trim", &I::Trim, s);
  }
};

class FaultyApplication : public Faulty<Application> {
 public:
  using Faulty::Faulty;
  std::shared_ptr<WorksheetFunction> GetWorksheetFunction() override {
    return std::make_shared<FaultyFunction>(
        Forward("Application.WorksheetFunction", &I::GetWorksheetFunction), plan_);
  }
  void SetScreenUpdating(bool on) override {
    Forward("Application.SetScreenUpdating", &I::SetScreenUpdating, on);
  }
  void SetDisplayAlerts(bool on) override {
    Forward("Application.SetDisplayAlerts", &I::SetDisplayAlerts, on);
  }
  void SetCutCopyMode(bool on) override {
    Forward("Application.SetCutCopyMode", &I::SetCutCopyMode, on);
  }
  void SetCellDragAndDrop(bool on) override {
    Forward("Application.SetCellDragAndDrop", &I::SetCellDragAndDrop, on);
  }
  std::intptr_t Hwnd() override { return Forward("Application.Hwnd", &I::Hwnd); }
};

}  // namespace

std::shared_ptr<Application> WrapApplication(std::shared_ptr<Application> target,
                                             std::shared_ptr<FaultPlan> plan) {
  return std::make_shared<FaultyApplication>(std::move(target), std::move(plan));
}

std::shared_ptr<Workbook> WrapWorkbook(std::shared_ptr<Workbook> target,
                                       std::shared_ptr<FaultPlan> plan) {
  return std::make_shared<FaultyWorkbook>(std::move(target), std::move(plan));
}

}  // namespace kelvora::host
