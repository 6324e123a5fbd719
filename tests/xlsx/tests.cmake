target_sources(kelvora_tests PRIVATE
  xlsx/xlsx_text_test.cc
  xlsx/xlsx_workbook_test.cc
  xlsx/zip_package_test.cc
)
