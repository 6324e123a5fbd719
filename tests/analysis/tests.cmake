target_sources(kelvora_tests PRIVATE
  analysis/backtest_test.cc
  analysis/bet_kinds_test.cc
  analysis/chance_report_test.cc
  analysis/chance_test.cc
  analysis/gan_test.cc
  analysis/main_analysis_test.cc
  analysis/size_sweep_test.cc
  analysis/store_quality_test.cc
)
# Boost.Math (Debian's libboost-math-dev) is an independent oracle for the
# chance statistics in the tests only; the engine carries its own.
find_package(Boost 1.74 REQUIRED)
target_link_libraries(kelvora_tests PRIVATE Boost::headers)
