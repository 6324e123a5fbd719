target_sources(kelvora_tests PRIVATE
  text/telex_test.cc
  text/utf_test.cc
)
