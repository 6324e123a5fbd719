target_sources(kelvora_host PRIVATE
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
)
if(NOT WIN32)
  target_sources(kelvora_host PRIVATE src/host/files_posix.cc)
endif()
