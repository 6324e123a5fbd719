target_sources(kelvora_memory PRIVATE
  src/memory/cell_store.cc
  src/memory/memory_workbook.cc
)
