target_sources(kelvora_core PRIVATE
  src/text/clipboard.cc
  src/text/message.cc
  src/text/telex.cc
  src/text/utf.cc
)
