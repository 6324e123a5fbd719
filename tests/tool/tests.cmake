# The tool's command-line contract, checked with openpyxl as an independent
# reader and writer of workbook files (Debian's python3-openpyxl).
if(TARGET kelvora AND EXISTS /usr/bin/python3)
  add_test(NAME tool.cli
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tool/tool_test.py
                   $<TARGET_FILE:kelvora> ${CMAKE_CURRENT_SOURCE_DIR}/data)
  set_tests_properties(tool.cli PROPERTIES TIMEOUT 900)
endif()
# The tool's lines under a Vietnamese locale (the vi_VN.UTF-8 locale that
# scripts/install-locale generates) against the extracted messages.
if(TARGET kelvora AND EXISTS /usr/bin/python3)
  add_test(NAME tool.language
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tool/language_test.py
                   $<TARGET_FILE:kelvora> ${CMAKE_BINARY_DIR}/kelvora.pot
                   ${CMAKE_CURRENT_SOURCE_DIR}/data)
  set_tests_properties(tool.language PROPERTIES TIMEOUT 900)
endif()
