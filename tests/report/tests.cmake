target_sources(kelvora_tests PRIVATE
  report/json_test.cc
  report/report_data_test.cc
)

# The report in headless Chromium (Debian's chromium, which
# scripts/install-deps installs); a machine without it fails the test.
find_program(KELVORA_CHROMIUM chromium)
if(NOT KELVORA_CHROMIUM)
  set(KELVORA_CHROMIUM chromium)
endif()
if(TARGET kelvora AND EXISTS /usr/bin/python3)
  add_test(NAME report.browser
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/report/report_browser_test.py
                   $<TARGET_FILE:kelvora> ${KELVORA_CHROMIUM} ${CMAKE_BINARY_DIR})
  set_tests_properties(report.browser PROPERTIES TIMEOUT 120)
endif()
