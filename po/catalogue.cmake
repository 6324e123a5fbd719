# cmake -P catalogue.cmake with MSGMERGE, MSGFMT, MSGATTRIB, PO (the
# catalogue kept in the sources), POT (the extracted messages), MERGED (the
# catalogue merged with them, in the build tree) and MO (the compiled one).
# MO is written only when every message has a translation that is not fuzzy.
execute_process(COMMAND ${MSGMERGE} --quiet --output-file=${MERGED} ${PO} ${POT}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msgmerge failed on ${PO}")
endif()
execute_process(COMMAND ${MSGFMT} --check --statistics --output-file=${MO}.new ${MERGED}
                RESULT_VARIABLE rc ERROR_VARIABLE statistics)
string(STRIP "${statistics}" statistics)
if(NOT rc EQUAL 0 OR statistics MATCHES "fuzzy|untranslated")
  file(REMOVE ${MO}.new)
  set(listed "")
  foreach(which --only-fuzzy --untranslated)
    execute_process(COMMAND ${MSGATTRIB} ${which} --no-obsolete --no-location ${MERGED}
                    OUTPUT_VARIABLE entries)
    # The entries without the catalogue's header.
    string(FIND "${entries}" "\n\n" end_of_header)
    if(end_of_header GREATER -1)
      string(SUBSTRING "${entries}" ${end_of_header} -1 entries)
      string(APPEND listed "${entries}")
    endif()
  endforeach()
  message(FATAL_ERROR "The Vietnamese catalogue is not complete (${statistics}). "
                      "Translate these messages in ${PO} and drop their fuzzy marks:${listed}")
endif()
file(RENAME ${MO}.new ${MO})
message(STATUS "vi: ${statistics}")
