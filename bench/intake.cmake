add_executable(intake_bench intake_bench.cc)
target_compile_options(intake_bench PRIVATE ${KELVORA_WARNINGS})
target_link_libraries(intake_bench PRIVATE kelvora_test_support benchmark::benchmark
                                           benchmark::benchmark_main)
# Gumbo alone on a page: the floor bench/large_intake.py sets beside the intake.
if(KELVORA_FILE_HOST)
  add_executable(gumbo_parse gumbo_parse.cc)
  target_compile_options(gumbo_parse PRIVATE ${KELVORA_WARNINGS})
  target_link_libraries(gumbo_parse PRIVATE PkgConfig::GUMBO)
endif()
