target_sources(kelvora_xlsx PRIVATE
  src/xlsx/formula_shift.cc
  src/xlsx/package_writer.cc
  src/xlsx/part_text.cc
  src/xlsx/part_xml.cc
  src/xlsx/sheet_chunks.cc
  src/xlsx/sheet_rewriter.cc
  src/xlsx/workbook_reader.cc
  src/xlsx/xlsx_text.cc
  src/xlsx/xlsx_workbook.cc
  src/xlsx/zip_package.cc
)
target_link_libraries(kelvora_xlsx PRIVATE PkgConfig::LIBZIP PkgConfig::LIBDEFLATE PkgConfig::ZLIB
                      PkgConfig::ISAL)
target_link_libraries(kelvora_xlsx PUBLIC pugixml::pugixml)
