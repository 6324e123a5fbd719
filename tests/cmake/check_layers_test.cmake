# cmake -DSOURCE_DIR=<project> -DWORK=<scratch dir> -P check_layers_test.cmake
# Runs the include check on small trees of one file each, then on the
# project's own tree, which must pass.
cmake_minimum_required(VERSION 3.25)
set(check ${SOURCE_DIR}/cmake/check_layers.cmake)

# The file (under src/), the line it holds, and whether the check passes.
set(cases
    "text/probe.h|#include \"host/value.h\"|fail"
    "numbersets/probe.cc|#include \"host/error.h\"|fail"
    "numbersets/probe.inc|  #  include \"host/error.h\"|fail"
    "host/probe.h|#include \"memory/memory_workbook.h\"|fail"
    "html/probe.cc|#include \"memory/memory_workbook.h\"|fail"
    "memory/probe.cc|#include \"xlsx/zip_package.h\"|fail"
    "xlsx/probe.cc|#include \"book/workbook_shape.h\"|fail"
    "xlsx/deeper/probe.h|#include \"adopt/adopt.h\"|fail"
    "book/probe.cc|#include \"xlsx/zip_package.h\"|fail"
    "excel/probe.cc|#include \"entry/sub.h\"|fail"
    "analysis/probe.cc|#include \"report/json.h\"|fail"
    "intake/probe.cc|#include \"analysis/gan.h\"|fail"
    "adopt/probe.cc|#include \"xlsx/zip_package.h\"|pass"
    "report/probe.cc|#include \"analysis/chance.h\"|pass"
    "memory/probe.cc|#include \"html/html_paste.h\"|pass"
    "host/probe.cc|#include \"host/value.h\"|pass"
    "text/probe.cc|#include <host/value.h>|pass"
    "text/probe.cc|#include \"gtest/gtest.h\"|pass"
    "text/probe.cc|// #include \"host/value.h\"|pass")

set(failures "")
set(i 0)
foreach(c IN LISTS cases)
  string(REPLACE "|" ";" c "${c}")
  list(GET c 0 file)
  list(GET c 1 line)
  list(GET c 2 expected)
  math(EXPR i "${i} + 1")
  set(tree ${WORK}/case${i})
  file(REMOVE_RECURSE ${tree})
  file(WRITE ${tree}/src/${file} "#pragma once\n${line}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -P ${check}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc EQUAL 0)
    set(got pass)
  else()
    set(got fail)
  endif()
  if(NOT got STREQUAL expected)
    string(APPEND failures "  src/${file} with '${line}': ${got}, expected ${expected}\n${out}\n")
  elseif(got STREQUAL fail AND NOT out MATCHES "src/${file}")
    string(APPEND failures "  src/${file}: the message does not name the file:\n${out}\n")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} -P ${check}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  string(APPEND failures "  the project's tree fails:\n${out}\n")
endif()
if(failures)
  message(FATAL_ERROR "layer check:\n${failures}")
endif()
