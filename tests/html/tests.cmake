target_sources(kelvora_tests PRIVATE
  html/html_nesting_test.cc
  html/html_paste_test.cc
)
