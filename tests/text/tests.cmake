target_sources(kelvora_tests PRIVATE
  text/markup_escape_test.cc
  text/telex_test.cc
  text/utf_test.cc
)
