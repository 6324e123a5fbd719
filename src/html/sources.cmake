# The HTML reader needs Gumbo; a build without it (the Windows component,
# where the spreadsheet pastes for itself) has nothing to paste from HTML.
if(KELVORA_FILE_HOST)
  target_sources(kelvora_html PRIVATE
    src/html/html_nesting.cc
    src/html/html_paste.cc
    src/html/html_text.cc
  )
  target_link_libraries(kelvora_html PRIVATE PkgConfig::GUMBO)
else()
  target_sources(kelvora_html PRIVATE src/html/html_paste_unavailable.cc)
endif()
