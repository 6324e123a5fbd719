target_sources(kelvora_tests PRIVATE
  analysis/backtest_test.cc
  analysis/bet_kinds_test.cc
  analysis/main_analysis_test.cc
)
