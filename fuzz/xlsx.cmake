if(KELVORA_FILE_HOST)
  kelvora_fuzz_target(xlsx_load_fuzz xlsx_load_fuzz.cc)
  kelvora_fuzz_target(xlsx_adopt_fuzz xlsx_adopt_fuzz.cc)
endif()
