target_sources(kelvora_core PRIVATE
  src/text/markup_escape.cc
  src/text/telex.cc
  src/text/utf.cc
)
