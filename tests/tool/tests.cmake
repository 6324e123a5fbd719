# The tool's command-line contract, checked with openpyxl as an independent
# reader and writer of workbook files (Debian's python3-openpyxl).
if(TARGET kelvora AND EXISTS /usr/bin/python3)
  add_test(NAME tool.cli
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tool/tool_test.py
                   $<TARGET_FILE:kelvora> ${CMAKE_CURRENT_SOURCE_DIR}/data)
  set_tests_properties(tool.cli PROPERTIES TIMEOUT 900)
endif()
