// Drives Kelvora.dll and the Excel back end against the fake Excel. Usage:
//   kelvora_com_tests [gtest flags] <path of Kelvora.dll> <reference dir>
#include <cstdio>

#include "test_env.h"

int wmain(int argc, wchar_t** argv) {
  using namespace kelvora::testing;
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3 || FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fprintf(stderr, "usage: kelvora_com_tests [gtest flags] <Kelvora.dll> <reference dir>\n");
    return 2;
  }
  g_env = {argv[1], Narrow(argv[2])};
  // Machine-wide: the registration Wine's class lookup reads.
  CallExport("DllRegisterServer");
  const int status = RUN_ALL_TESTS();
  CallExport("DllUnregisterServer");
  CoUninitialize();
  return status;
}
