# The Excel back end of the host layer and the Windows platform services.
# Windows only; included by src/com/CMakeLists.txt.
kelvora_layer(excel)
target_sources(kelvora_excel PRIVATE
  src/excel/dispatch.cc
  src/excel/excel_host.cc
  src/excel/variant_convert.cc
  src/excel/windows_platform.cc
)
target_compile_definitions(kelvora_excel PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(kelvora_excel PUBLIC oleaut32 ole32 uuid user32 shell32 kernel32)
