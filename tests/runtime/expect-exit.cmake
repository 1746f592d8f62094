# Runs the child program of the runtime tests under the emulator and checks
# the exit code and output as the Linux side sees them (ExitProcess(-1)
# arrives as 255).
# -DEMULATOR=<emulator> -DPROGRAM=<exe> -DMODE=<mode> -DCODE=<expected code>
# -DOUTPUT=<regular expression the standard output must match>
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${MODE}
  INPUT_FILE /dev/null
  RESULT_VARIABLE code
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors
  TIMEOUT 50)
if(NOT code STREQUAL CODE)
  message(FATAL_ERROR "${MODE}: exit code ${code}, expected ${CODE}\n${output}\n${errors}")
endif()
if(NOT output MATCHES "${OUTPUT}")
  message(FATAL_ERROR "${MODE}: output does not match ${OUTPUT}:\n${output}")
endif()
message(STATUS "${MODE}: exit code ${code}")
