# Renders PAGE with all of groff's warnings on; any warning fails.
execute_process(COMMAND ${GROFF} -ww -z -man ${PAGE} RESULT_VARIABLE rc ERROR_VARIABLE warnings)
if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "${PAGE}: ${warnings}")
endif()
