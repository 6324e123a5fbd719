target_sources(kelvora_core PRIVATE
  src/host/cell_ref.cc
  src/host/clipboard_text.cc
  src/host/convert.cc
  src/host/error.cc
  src/host/host.cc
  src/host/keyed_set.cc
  src/host/layout.cc
  src/host/message.cc
  src/host/session.cc
  src/host/value.cc
  src/host/memory/memory_workbook.cc
)
if(NOT WIN32)
  target_sources(kelvora_core PRIVATE src/host/files_posix.cc)
endif()
if(KELVORA_FILE_HOST)
  target_sources(kelvora_core PRIVATE src/host/memory/html_nesting.cc src/host/memory/html_paste.cc
                                 src/host/memory/html_text.cc)
  include(src/host/xlsx/sources.cmake OPTIONAL)
else()
  target_sources(kelvora_core PRIVATE src/host/memory/html_paste_unavailable.cc)
endif()
