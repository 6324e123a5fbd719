target_sources(kelvora_entry PRIVATE
  src/entry/binding.cc
  src/entry/commands.cc
  src/entry/host_state.cc
  src/entry/output_commands.cc
  src/entry/report_command.cc
  src/entry/ribbon.cc
  src/entry/sub.cc
)
