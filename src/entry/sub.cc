#include "entry/sub.h"

#include <cctype>

#include "analysis/main_analysis.h"
#include "entry/host_state.h"
#include "entry/output_commands.h"
#include "intake/intake_commands.h"

namespace kelvora {

Sub::~Sub() { ReleaseWorkbook(); }

void Sub::Sup(std::shared_ptr<host::Application> excel_app,
              std::shared_ptr<host::Workbook> this_workbook) {
  HostState& s = CurrentHostState();
  s.ExcelApp = std::move(excel_app);
  s.ThisWorkBook = std::move(this_workbook);
  BindWorkbook();
}

void Sub::DanKQXS() { intake::DanKQXS(); }
void Sub::DanKQXSNgay() { intake::DanKQXSNgay(); }
void Sub::DanKQXSDB() { intake::DanKQXSDB(); }
void Sub::Main() { analysis::Main(); }
void Sub::XoaDuLieu() { entry::XoaDuLieu(); }
void Sub::Copy1() { entry::CopyOutput(1); }
void Sub::Copy2() { entry::CopyOutput(2); }
void Sub::Copy3() { entry::CopyOutput(3); }
void Sub::Copy4() { entry::CopyOutput(4); }
void Sub::Copy5() { entry::CopyOutput(5); }
void Sub::Copy6() { entry::CopyOutput(6); }

bool Sub::RunCommand(std::string_view name) {
  auto equals = [&](std::string_view method) {
    if (method.size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(name[i])) !=
          std::tolower(static_cast<unsigned char>(method[i])))
        return false;
    }
    return true;
  };
  using Method = void (Sub::*)();
  static constexpr std::array<Method, 11> kMethods = {
      &Sub::DanKQXS, &Sub::DanKQXSNgay, &Sub::DanKQXSDB, &Sub::Main,  &Sub::XoaDuLieu, &Sub::Copy1,
      &Sub::Copy2,   &Sub::Copy3,       &Sub::Copy4,     &Sub::Copy5, &Sub::Copy6};
  for (size_t i = 0; i < kMethods.size(); ++i) {
    if (equals(kMethodNames[i + 1])) {
      (this->*kMethods[i])();
      return true;
    }
  }
  return false;
}

}  // namespace kelvora
