#include "support/fault_injection.h"

#include "host/error.h"

namespace kelvora::host {

void FaultPlan::Fail(const std::string& member, int after, int32_t number,
                     const std::string& description) {
  faults_[member] = {after, number, description};
}

void FaultPlan::Check(const std::string& member) {
  const int n = calls_[member]++;
  auto it = faults_.find(member);
  if (it != faults_.end() && n >= it->second.after) {
    throw CommandError(it->second.number, it->second.description);
  }
}

int FaultPlan::calls(const std::string& member) const {
  auto it = calls_.find(member);
  return it == calls_.end() ? 0 : it->second;
}

namespace {

class FaultyRange : public Range {
 public:
  FaultyRange(std::unique_ptr<Range> t, std::shared_ptr<FaultPlan> p)
      : target_(std::move(t)), plan_(std::move(p)) {}

  Value GetValue() override {
    plan_->Check("Range.GetValue");
    return target_->GetValue();
  }
  Table GetValues() override {
    plan_->Check("Range.GetValues");
    return target_->GetValues();
  }
  void SetValue(const Value& v) override {
    plan_->Check("Range.SetValue");
    target_->SetValue(v);
  }
  void SetValues(const Table& v) override {
    plan_->Check("Range.SetValues");
    target_->SetValues(v);
  }
  std::unique_ptr<Range> Resize(int32_t r, int32_t c) override {
    plan_->Check("Range.Resize");
    return std::make_unique<FaultyRange>(target_->Resize(r, c), plan_);
  }
  void ClearContents() override {
    plan_->Check("Range.ClearContents");
    target_->ClearContents();
  }
  std::unique_ptr<Range> End(int d) override {
    plan_->Check("Range.End");
    return std::make_unique<FaultyRange>(target_->End(d), plan_);
  }
  int32_t Row() override {
    plan_->Check("Range.Row");
    return target_->Row();
  }
  void Sort(Range& key1, int order1) override {
    plan_->Check("Range.Sort");
    auto* k = dynamic_cast<FaultyRange*>(&key1);
    target_->Sort(k ? *k->target_ : key1, order1);
  }
  void Select() override {
    plan_->Check("Range.Select");
    target_->Select();
  }

 private:
  std::unique_ptr<Range> target_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyWorksheet : public Worksheet {
 public:
  FaultyWorksheet(std::shared_ptr<Worksheet> t, std::shared_ptr<FaultPlan> p)
      : target_(std::move(t)), plan_(std::move(p)) {}
  std::u16string CodeName() override {
    plan_->Check("Worksheet.CodeName");
    return target_->CodeName();
  }
  std::u16string Name() override {
    plan_->Check("Worksheet.Name");
    return target_->Name();
  }
  std::unique_ptr<Range> GetRange(const std::u16string& a) override {
    plan_->Check("Worksheet.Range");
    return std::make_unique<FaultyRange>(target_->GetRange(a), plan_);
  }
  void Activate() override {
    plan_->Check("Worksheet.Activate");
    target_->Activate();
  }
  void PasteSpecial(const std::u16string& f, bool l, bool d, bool n) override {
    plan_->Check("Worksheet.PasteSpecial");
    target_->PasteSpecial(f, l, d, n);
  }

 private:
  std::shared_ptr<Worksheet> target_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyWorkbook : public Workbook {
 public:
  FaultyWorkbook(std::shared_ptr<Workbook> t, std::shared_ptr<FaultPlan> p)
      : target_(std::move(t)), plan_(std::move(p)) {}
  std::vector<std::shared_ptr<Worksheet>> Worksheets() override {
    plan_->Check("Workbook.Worksheets");
    std::vector<std::shared_ptr<Worksheet>> out;
    for (auto& s : target_->Worksheets())
      out.push_back(std::make_shared<FaultyWorksheet>(s, plan_));
    return out;
  }

 private:
  std::shared_ptr<Workbook> target_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyFunction : public WorksheetFunction {
 public:
  FaultyFunction(std::shared_ptr<WorksheetFunction> t, std::shared_ptr<FaultPlan> p)
      : target_(std::move(t)), plan_(std::move(p)) {}
  double Min(double a, double b) override {
    plan_->Check("WorksheetFunction.Min");
    return target_->Min(a, b);
  }
  std::u16string Trim(const std::u16string& s) override {
    plan_->Check("WorksheetFunction.Trim");
    return target_->Trim(s);
  }

 private:
  std::shared_ptr<WorksheetFunction> target_;
  std::shared_ptr<FaultPlan> plan_;
};

class FaultyApplication : public Application {
 public:
  FaultyApplication(std::shared_ptr<Application> t, std::shared_ptr<FaultPlan> p)
      : target_(std::move(t)), plan_(std::move(p)) {}
  std::shared_ptr<WorksheetFunction> GetWorksheetFunction() override {
    plan_->Check("Application.WorksheetFunction");
    return std::make_shared<FaultyFunction>(target_->GetWorksheetFunction(), plan_);
  }
  void SetScreenUpdating(bool on) override {
    plan_->Check("Application.SetScreenUpdating");
    target_->SetScreenUpdating(on);
  }
  void SetDisplayAlerts(bool on) override {
    plan_->Check("Application.SetDisplayAlerts");
    target_->SetDisplayAlerts(on);
  }
  void SetCutCopyMode(bool on) override {
    plan_->Check("Application.SetCutCopyMode");
    target_->SetCutCopyMode(on);
  }
  void SetCellDragAndDrop(bool on) override {
    plan_->Check("Application.SetCellDragAndDrop");
    target_->SetCellDragAndDrop(on);
  }
  std::intptr_t Hwnd() override {
    plan_->Check("Application.Hwnd");
    return target_->Hwnd();
  }

 private:
  std::shared_ptr<Application> target_;
  std::shared_ptr<FaultPlan> plan_;
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
