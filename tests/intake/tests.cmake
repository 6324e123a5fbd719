target_sources(kelvora_tests PRIVATE
  intake/result_store_test.cc
  intake/intake_commands_test.cc
  intake/special_prize_text_test.cc
  intake/store_csv_test.cc
)
