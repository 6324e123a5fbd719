target_sources(kelvora_text PRIVATE
  src/text/markup_escape.cc
  src/text/telex.cc
  src/text/utf.cc
)
