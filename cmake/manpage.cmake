# cmake -DTOOL=<kelvora> -DHELP2MAN=<help2man> -DINCLUDE=<kelvora.h2m>
#       -DOUTPUT=<kelvora.1.gz> -P manpage.cmake
# Writes the manual page kelvora(1) with help2man from the built tool's own
# help: the overview (kelvora --help), a COMMANDS section of `kelvora help
# VERB` for every verb, then the sections of INCLUDE. The tool runs under the
# C locale, so the page holds its English texts.
set(ENV{LC_ALL} C)
set(ENV{LANGUAGE} "")
get_filename_component(dir ${OUTPUT} DIRECTORY)
set(page ${dir}/kelvora.1)
set(commands ${dir}/kelvora-commands.h2m)

execute_process(COMMAND ${TOOL} --completion-words OUTPUT_VARIABLE words RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT words MATCHES "^verbs\t([^\n]*)\n")
  message(FATAL_ERROR "${TOOL} --completion-words failed (${rc})")
endif()
string(REPLACE "\t" ";" verbs "${CMAKE_MATCH_1}")
list(REMOVE_ITEM verbs help)

set(section "[COMMANDS]\n")
foreach(verb IN LISTS verbs)
  execute_process(COMMAND ${TOOL} help ${verb} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${TOOL} help ${verb} failed (${rc})")
  endif()
  # roff: a backslash is \e, and no line may start a request.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(APPEND section ".SS ${verb}\n.nf\n${text}.fi\n")
endforeach()
file(WRITE ${commands} "${section}")

execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --no-discard-stderr
          "--name=statistics for the special prize of the Vietnamese lottery"
          --include=${commands} --include=${INCLUDE} --output=${page} ${TOOL}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed (${rc})")
endif()
execute_process(COMMAND gzip -9n -c ${page} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed (${rc})")
endif()
