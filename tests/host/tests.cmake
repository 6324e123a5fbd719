target_sources(kelvora_tests PRIVATE
  host/cell_ref_test.cc
  host/convert_test.cc
  host/files_test.cc
  host/host_conformance.cc
  host/host_conformance_test.cc
  host/keyed_set_test.cc
  host/layout_test.cc
  host/message_test.cc
)
