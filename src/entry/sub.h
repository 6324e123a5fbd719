// The component's public class. It has no state of its own: every command
// runs on a session built from the module-wide host state of the calling
// thread (host_state.h). A command that fails throws kelvora::CommandError
// with an error number and description; what it wrote before the failure
// stays.
#pragma once

#include <array>
#include <memory>
#include <string_view>

#include "host/host.h"

namespace kelvora {

class Sub {
 public:
  Sub() = default;
  // Runs the shut-down: releases the host state of this thread (for every
  // instance on it) when it is bound.
  ~Sub();
  Sub(const Sub&) = delete;
  Sub& operator=(const Sub&) = delete;

  // Stores the application and the workbook, replacing what was held, then
  // binds the workbook's sheets.
  void Sup(std::shared_ptr<host::Application> excel_app,
           std::shared_ptr<host::Workbook> this_workbook);
  void DanKQXS();
  void DanKQXSNgay();
  void DanKQXSDB();
  void Main();
  void XoaDuLieu();
  void Copy1();
  void Copy2();
  void Copy3();
  void Copy4();
  void Copy5();
  void Copy6();
  // Writes the report page into the temporary folder and opens it
  // (entry/report_command.h).
  void BaoCao();

  // The methods in the order of the interface.
  static constexpr std::array<std::string_view, 13> kMethodNames = {
      "Sup",   "DanKQXS", "DanKQXSNgay", "DanKQXSDB", "Main",  "XoaDuLieu", "Copy1",
      "Copy2", "Copy3",   "Copy4",       "Copy5",     "Copy6", "BaoCao"};
};

}  // namespace kelvora
