target_sources(kelvora_tests PRIVATE
  book/workbook_shape_test.cc
)
