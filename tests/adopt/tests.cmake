target_sources(kelvora_tests PRIVATE
  adopt/adopt_test.cc
)
