// The host layer's conformance cases on the back ends that run natively: the
// in-memory workbook, and a workbook file saved from it and loaded back.
#include <gtest/gtest.h>

#include "book/workbook_template.h"
#include "host_conformance.h"
#include "xlsx/xlsx_workbook.h"

namespace kelvora::testing {
namespace {

HostUnderTest MemoryHost() {
  auto app = std::make_shared<host::memory::MemoryApplication>();
  auto book = std::make_shared<host::memory::MemoryWorkbook>(app.get());
  FillTemplateWorkbook(*book);
  return {app, book, app};
}

HostUnderTest XlsxHost() {
  HostUnderTest h = MemoryHost();
  const auto& tmpl = static_cast<const host::memory::MemoryWorkbook&>(*h.book);
  const std::string bytes =
      host::xlsx::XlsxWorkbook::Create(tmpl, TemplateSheetLayouts(), false, h.settings.get())
          ->SaveToBytes();
  h.book = host::xlsx::XlsxWorkbook::Load(bytes, h.settings.get())->book();
  return h;
}

TEST_P(HostConformanceTest, Memory) { RunConformanceCase(GetParam(), MemoryHost); }
TEST_P(HostConformanceTest, Xlsx) { RunConformanceCase(GetParam(), XlsxHost); }

}  // namespace
}  // namespace kelvora::testing
