#include "support/fault_injection.h"

#include <gtest/gtest.h>

#include "host/error.h"
#include "memory/memory_workbook.h"

namespace kelvora::host {
namespace {

TEST(FaultInjectionTest, FailsTheChosenMemberFromTheChosenCall) {
  memory::MemoryApplication app;
  auto book = std::make_shared<memory::MemoryWorkbook>(&app);
  book->AddSheet(u"Sheet1", u"Main");
  auto plan = std::make_shared<FaultPlan>();
  plan->Fail("Range.SetValue", /*after=*/1, 1004, "protected sheet");
  auto wrapped = WrapWorkbook(book, plan);
  auto sheet = wrapped->Worksheets().at(0);
  sheet->GetRange(u"A1")->SetValue(Value(1));
  try {
    sheet->GetRange(u"A2")->SetValue(Value(2));
    FAIL();
  } catch (const CommandError& e) {
    EXPECT_EQ(e.number(), 1004);
    EXPECT_STREQ(e.what(), "protected sheet");
  }
  EXPECT_EQ(book->sheets()[0]->cell(1, 1).value, Value(1));
  EXPECT_TRUE(book->sheets()[0]->cell(2, 1).value.IsEmpty());
  // Sort unwraps its key so the back end sees its own range.
  sheet->GetRange(u"A1:A2")->Sort(*sheet->GetRange(u"A1"), 2);
  EXPECT_EQ(plan->calls("Range.Sort"), 1);
}

}  // namespace
}  // namespace kelvora::host
