add_executable(intake_bench intake_bench.cc)
target_compile_options(intake_bench PRIVATE ${KELVORA_WARNINGS})
target_link_libraries(intake_bench PRIVATE kelvora_test_support benchmark::benchmark
                                           benchmark::benchmark_main)
