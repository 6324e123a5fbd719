target_sources(kelvora_core PRIVATE
  src/host/xlsx/adopt.cc
  src/host/xlsx/formula_shift.cc
  src/host/xlsx/package_writer.cc
  src/host/xlsx/part_text.cc
  src/host/xlsx/part_xml.cc
  src/host/xlsx/sheet_chunks.cc
  src/host/xlsx/sheet_rewriter.cc
  src/host/xlsx/workbook_reader.cc
  src/host/xlsx/workbook_shape.cc
  src/host/xlsx/xlsx_text.cc
  src/host/xlsx/xlsx_workbook.cc
  src/host/xlsx/zip_package.cc
)
