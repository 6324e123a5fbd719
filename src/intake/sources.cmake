target_sources(kelvora_intake PRIVATE
  src/intake/draw_check.cc
  src/intake/intake_commands.cc
  src/intake/result_store.cc
  src/intake/special_prize_text.cc
  src/intake/store_csv.cc
)
