target_sources(kelvora_core PRIVATE
  src/host/xlsx/formula_shift.cc
  src/host/xlsx/xlsx_text.cc
  src/host/xlsx/xlsx_workbook.cc
  src/host/xlsx/zip_package.cc
)
