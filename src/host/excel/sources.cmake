# The Excel back end of the host layer and the Windows platform services.
# Windows only; included by src/com/CMakeLists.txt.
add_library(kelvora_excel STATIC
  ${PROJECT_SOURCE_DIR}/src/host/excel/dispatch.cc
  ${PROJECT_SOURCE_DIR}/src/host/excel/excel_host.cc
  ${PROJECT_SOURCE_DIR}/src/host/excel/variant_convert.cc
  ${PROJECT_SOURCE_DIR}/src/host/excel/windows_platform.cc
)
target_compile_options(kelvora_excel PRIVATE ${KELVORA_WARNINGS})
target_compile_definitions(kelvora_excel PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(kelvora_excel PUBLIC kelvora_core oleaut32 ole32 uuid user32 shell32
                      kernel32)
