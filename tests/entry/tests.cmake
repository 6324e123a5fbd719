target_sources(kelvora_tests PRIVATE
  entry/sub_test.cc
  entry/output_commands_test.cc
  entry/commands_test.cc
  entry/ribbon_test.cc
)
