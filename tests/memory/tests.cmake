target_sources(kelvora_tests PRIVATE
  memory/cell_store_test.cc
  memory/memory_workbook_test.cc
)
