// Drives Kelvora.dll and the Excel back end against the fake Excel. Usage:
//   kelvora_com_tests [gtest flags] <path of Kelvora.dll> <reference dir>
#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>

#include <cstdio>

#include "test_env.h"

int wmain(int argc, wchar_t** argv) {
  using kelvora::testing::Env;
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3 || FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fprintf(stderr, "usage: kelvora_com_tests [gtest flags] <Kelvora.dll> <reference dir>\n");
    return 2;
  }
  Env().dll_path = argv[1];
  const std::wstring reference = argv[2];
  Env().reference_dir = std::string(reference.begin(), reference.end());
  const int status = RUN_ALL_TESTS();
  CoUninitialize();
  return status;
}
