// The host layer's conformance suite: one table of cases, each a use of the
// members of host.h with the answer the spreadsheet host gives, run on every
// back end this machine can run (memory and workbook file natively, Excel
// against the fake Excel under Wine). A test program adds a back end as
//   TEST_P(HostConformanceTest, Memory) { RunConformanceCase(GetParam(), MemoryHost); }
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

#include "host/host.h"
#include "memory/memory_workbook.h"

namespace kelvora::testing {

// A back end bound to a fresh copy of the built-in template workbook.
// `settings` is the in-memory application its application settings end up in.
struct HostUnderTest {
  std::shared_ptr<host::Application> app;
  std::shared_ptr<host::Workbook> book;
  std::shared_ptr<host::memory::MemoryApplication> settings;
};

// A case reaches the workbook through `host` only and reports with gtest's
// EXPECT and ASSERT macros.
struct ConformanceCase {
  const char* name;
  void (*run)(HostUnderTest& host);
};
inline void PrintTo(const ConformanceCase& c, std::ostream* out) { *out << c.name; }

// Runs `c` on a host made by `factory`.
void RunConformanceCase(const ConformanceCase& c, const std::function<HostUnderTest()>& factory);

// Instantiated with every case of the table in host_conformance.cc.
class HostConformanceTest : public ::testing::TestWithParam<ConformanceCase> {};

}  // namespace kelvora::testing
