target_sources(kelvora_tests PRIVATE
  memory/memory_workbook_test.cc
)
