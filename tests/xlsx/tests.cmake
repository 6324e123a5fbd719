target_sources(kelvora_tests PRIVATE
  xlsx/formula_shift_test.cc
  xlsx/package_writer_test.cc
  xlsx/sheet_chunks_test.cc
  xlsx/sheet_rewriter_test.cc
  xlsx/workbook_reader_test.cc
  xlsx/xlsx_text_test.cc
  xlsx/xlsx_workbook_test.cc
  xlsx/zip_package_test.cc
)
