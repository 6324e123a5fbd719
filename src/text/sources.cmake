target_sources(kelvora_core PRIVATE
  src/text/telex.cc
  src/text/utf.cc
)
