#include "entry/sub.h"

#include "entry/binding.h"
#include "entry/commands.h"
#include "entry/host_state.h"

namespace kelvora {

namespace {

// The command at `index` of the interface (Sup is 0); kCommands follows the
// interface's order.
void Run(size_t index) { RunOnThreadState(kCommands[index - 1].run); }

}  // namespace

Sub::~Sub() { ReleaseWorkbook(CurrentHostState().book); }

void Sub::Sup(std::shared_ptr<host::Application> excel_app,
              std::shared_ptr<host::Workbook> this_workbook) {
  HostState& s = CurrentHostState();
  s.book.ExcelApp = std::move(excel_app);
  s.book.ThisWorkBook = std::move(this_workbook);
  BindWorkbook(s.book, s.platform.locale);
}

void Sub::DanKQXS() { Run(1); }
void Sub::DanKQXSNgay() { Run(2); }
void Sub::DanKQXSDB() { Run(3); }
void Sub::Main() { Run(4); }
void Sub::XoaDuLieu() { Run(5); }
void Sub::Copy1() { Run(6); }
void Sub::Copy2() { Run(7); }
void Sub::Copy3() { Run(8); }
void Sub::Copy4() { Run(9); }
void Sub::Copy5() { Run(10); }
void Sub::Copy6() { Run(11); }
void Sub::BaoCao() { RunOnThreadState(kReportCommand.run); }

}  // namespace kelvora
