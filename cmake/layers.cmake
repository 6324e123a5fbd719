# The engine's layers: each folder of src/ is one library, kelvora_<folder>,
# and may use the folders listed after its name and nothing else. The
# libraries link what this table says, and check_layers.cmake fails the build
# when a file includes a header of a folder its library may not use.
set(KELVORA_LAYERS
    "text:"
    "numbersets:text"
    "host:text"
    "html:host text"
    "memory:html host text"
    "xlsx:memory host text"
    "book:memory host text"
    "adopt:book xlsx memory host text"
    "intake:host text"
    "analysis:intake numbersets host text"
    "report:analysis intake host text"
    "entry:report analysis intake host text"
    "excel:host text"
    "com:entry book excel host text")

# The folders `layer` may use, in `out`; fails on a folder the table lacks.
function(kelvora_layer_uses layer out)
  foreach(row IN LISTS KELVORA_LAYERS)
    string(REPLACE ":" ";" parts "${row}")
    list(GET parts 0 name)
    if(name STREQUAL layer)
      string(REGEX REPLACE "^[^:]*:" "" uses "${row}")
      separate_arguments(uses UNIX_COMMAND "${uses}")
      set(${out} "${uses}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "no layer ${layer} in cmake/layers.cmake")
endfunction()

# Links `target` to the libraries of the folders `layer` may use.
function(kelvora_layer_links target scope layer)
  kelvora_layer_uses(${layer} uses)
  foreach(use IN LISTS uses)
    target_link_libraries(${target} ${scope} kelvora_${use})
  endforeach()
  if(TARGET kelvora_layer_check)
    add_dependencies(${target} kelvora_layer_check)
  endif()
endfunction()

# The static library of folder src/<layer>; its sources.cmake adds the files.
function(kelvora_layer layer)
  add_library(kelvora_${layer} STATIC)
  target_include_directories(kelvora_${layer} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(kelvora_${layer} PRIVATE ${KELVORA_WARNINGS})
  kelvora_layer_links(kelvora_${layer} PUBLIC ${layer})
endfunction()
