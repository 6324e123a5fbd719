target_sources(kelvora_book PRIVATE
  src/book/workbook_shape.cc
  src/book/workbook_template.cc
)
