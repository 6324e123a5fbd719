# The Main run on the in-memory host with a full store, beside the floor set
# by the digest compressions it needs.
add_executable(analysis_bench analysis_bench.cc)
target_compile_options(analysis_bench PRIVATE ${KELVORA_WARNINGS})
target_link_libraries(analysis_bench PRIVATE kelvora_test_support benchmark::benchmark)
