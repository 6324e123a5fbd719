target_sources(kelvora_core PRIVATE
  src/analysis/main_analysis.cc
)
