# cmake -DSOURCE_DIR=<dir> -P check_layers.cmake
# Fails when a file under <dir>/src/<folder>/ includes "<other>/..." of a
# folder of the layer table that <folder> may not use (cmake/layers.cmake),
# naming every such include. Folders outside the table are not checked.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/layers.cmake)

set(names "")
foreach(row IN LISTS KELVORA_LAYERS)
  string(REGEX REPLACE ":.*" "" name "${row}")
  list(APPEND names ${name})
endforeach()

set(faults "")
foreach(layer IN LISTS names)
  kelvora_layer_uses(${layer} uses)
  file(GLOB_RECURSE files LIST_DIRECTORIES false "${SOURCE_DIR}/src/${layer}/*.h"
       "${SOURCE_DIR}/src/${layer}/*.cc" "${SOURCE_DIR}/src/${layer}/*.inc")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([a-z_]+)/.*" "\\1" used "${line}")
      if(used STREQUAL layer OR NOT used IN_LIST names OR used IN_LIST uses)
        continue()
      endif()
      file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
      string(STRIP "${line}" line)
      string(APPEND faults "  ${shown}: ${line} (${layer} may use: ${uses})\n")
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "includes across the layers (cmake/layers.cmake):\n${faults}")
endif()
