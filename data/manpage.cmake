# Writes a manual page from its template, with @PELMORA_GEN_HELP@ replaced
# by what `pelmora-gen --help` prints, as manual page sections, and
# @PELMORA_GEN_LIST@ by what `pelmora-gen --list` prints, escaped as roff text.
#   cmake -DGEN=... -DESCAPE=... -DIN=... -DOUT=... -DPROJECT_VERSION=... -P manpage.cmake
execute_process(
  COMMAND ${GEN} --list
  COMMAND ${ESCAPE}
  OUTPUT_VARIABLE PELMORA_GEN_LIST
  RESULTS_VARIABLE results)
foreach(result ${results})
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Cannot list the distributions for ${OUT}: ${GEN} --list | ${ESCAPE} gave ${results}")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" PELMORA_GEN_LIST "${PELMORA_GEN_LIST}")
execute_process(
  COMMAND ${GEN} --help
  COMMAND ${ESCAPE} --help-page
  OUTPUT_VARIABLE PELMORA_GEN_HELP
  RESULTS_VARIABLE results)
foreach(result ${results})
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Cannot read the help for ${OUT}: ${GEN} --help | ${ESCAPE} --help-page gave ${results}")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" PELMORA_GEN_HELP "${PELMORA_GEN_HELP}")
configure_file(${IN} ${OUT} @ONLY)
