#include "xlsx/xlsx_workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sample_package.h"

namespace kelvora::host::xlsx {
namespace {

TEST(XlsxWorkbookTest, FileErrorsBecomeWorkbookFileErrorsWithTheirMessages) {
  using ::testing::StartsWith, ::testing::ThrowsMessage;
  MemoryApplication app;
  const std::string path = ::testing::TempDir() + "/no-such-folder/book.xlsx";
  EXPECT_THAT([&] { XlsxWorkbook::Open(path, &app); },
              ThrowsMessage<XlsxError>(StartsWith("cannot open " + path)));
  auto wb = XlsxWorkbook::Load(Pack(BaseParts(kCells)), &app);
  EXPECT_THAT([&] { wb->Save(path); }, ThrowsMessage<XlsxError>(StartsWith("cannot write in ")));
}

}  // namespace
}  // namespace kelvora::host::xlsx
