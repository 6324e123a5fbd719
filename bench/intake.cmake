add_executable(intake_bench intake_bench.cc)
target_compile_options(intake_bench PRIVATE ${KELVORA_WARNINGS})
target_link_libraries(intake_bench PRIVATE kelvora_core benchmark::benchmark
                                           benchmark::benchmark_main)
target_include_directories(intake_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
