cmake_minimum_required(VERSION 3.25)
# The installer runs elevated from folders others can write to: every DLL it
# imports must be one the system always takes from System32 (a known DLL),
# never one looked for beside the exe first.
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -P check-imports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
set(known kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 ws2_32 msvcrt comdlg32 shlwapi rpcrt4 imm32
    setupapi combase sechost)
set(count 0)
foreach(line IN LISTS names)
  string(REGEX REPLACE "DLL Name: *" "" name "${line}")
  string(STRIP "${name}" name)
  string(TOLOWER "${name}" lower)
  string(REGEX REPLACE "\\.dll$" "" lower "${lower}")
  math(EXPR count "${count} + 1")
  if(NOT lower IN_LIST known)
    message(FATAL_ERROR "${PROGRAM} imports ${name}, which Windows looks for beside the program first")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no imports found in ${PROGRAM}")
endif()
message(STATUS "${count} imports, all known DLLs")
