# Runs the child program in its "instructions" mode and checks, on the Linux
# side, that the file it wrote beside itself carries its Chinese name in
# UTF-8 (as Wine maps the wide name) and its content as GBK bytes, unchanged.
# -DEMULATOR=<emulator> -DPROGRAM=<exe>
get_filename_component(folder "${PROGRAM}" DIRECTORY)
set(written "${folder}/卸载说明.txt")
file(REMOVE "${written}")
execute_process(COMMAND ${EMULATOR} ${PROGRAM} instructions
  INPUT_FILE /dev/null RESULT_VARIABLE code TIMEOUT 50)
if(NOT code STREQUAL "0")
  message(FATAL_ERROR "instructions: exit code ${code}")
endif()
if(NOT EXISTS "${written}")
  file(GLOB present "${folder}/*.txt")
  message(FATAL_ERROR "no file named 卸载说明.txt in ${folder}; text files there: ${present}")
endif()
file(READ "${written}" content HEX)
# "运行“卸载.exe”即可卸载 Zorvane。" and CR LF in code page 936.
set(expected "d4cbd0d0a1b0d0b6d4d82e657865a1b1bcb4bfc9d0b6d4d8205a6f7276616e65a1a30d0a")
if(NOT content STREQUAL expected)
  message(FATAL_ERROR "content ${content}, expected ${expected}")
endif()
file(REMOVE "${written}")
message(STATUS "卸载说明.txt written with its name and GBK content")
