target_sources(kelvora_analysis PRIVATE
  src/analysis/backtest.cc
  src/analysis/backtest_plan.cc
  src/analysis/bet_kinds.cc
  src/analysis/book_view.cc
  src/analysis/chance.cc
  src/analysis/chance_report.cc
  src/analysis/gan.cc
  src/analysis/main_analysis.cc
  src/analysis/size_sweep.cc
  src/analysis/store_quality.cc
  src/analysis/worker_pool.cc
)
