if(KELVORA_FILE_HOST)
  kelvora_fuzz_target(xlsx_load_fuzz xlsx_load_fuzz.cc)
  kelvora_fuzz_target(xlsx_sheet_chunks_fuzz xlsx_sheet_chunks_fuzz.cc)
endif()
