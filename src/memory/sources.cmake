target_sources(kelvora_memory PRIVATE
  src/memory/memory_workbook.cc
)
