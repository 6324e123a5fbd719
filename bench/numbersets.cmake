# The digest and the set builders, measured beside OpenSSL's SHA-256 (a
# benchmark peer only: the core never links OpenSSL).
find_package(OpenSSL REQUIRED)
add_executable(numbersets_bench numbersets_bench.cc)
target_compile_options(numbersets_bench PRIVATE ${KELVORA_WARNINGS})
target_link_libraries(numbersets_bench PRIVATE kelvora_core benchmark::benchmark
                                               benchmark::benchmark_main OpenSSL::Crypto)
