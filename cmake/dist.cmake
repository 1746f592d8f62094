# Writes the exe to ship: a signed copy of the installer, its debug file and
# SHA256SUMS of both.
#   cmake -DEXE=<built exe> -DDIST=<folder> -DOSSLSIGNCODE=<tool> -DOPENSSL=<tool> -P dist.cmake
# The signing certificate (PEM, or PKCS#12 with ZORV_SIGNING_PASSWORD) and
# its key come from ZORV_SIGNING_CERT and ZORV_SIGNING_KEY; without them a
# test certificate is made on the spot (and said so).  ZORV_TIMESTAMP_URL,
# when set, names a time-stamp server.
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY ${DIST})
set(signed ${DIST}/zorv-setup.exe)
set(cert "$ENV{ZORV_SIGNING_CERT}")
set(key "$ENV{ZORV_SIGNING_KEY}")
if(cert STREQUAL "" OR key STREQUAL "")
  set(cert ${DIST}/test-signing/publisher.pem)
  set(key ${DIST}/test-signing/publisher.key)
  if(NOT EXISTS ${cert} OR NOT EXISTS ${key})
    file(MAKE_DIRECTORY ${DIST}/test-signing)
    execute_process(
      COMMAND ${OPENSSL} req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -subj "/CN=Zorvane Test Publisher"
              -addext "extendedKeyUsage=codeSigning" -keyout ${key} -out ${cert}
      RESULT_VARIABLE made OUTPUT_QUIET ERROR_QUIET)
    if(NOT made EQUAL 0)
      message(FATAL_ERROR "dist: openssl could not make a test certificate")
    endif()
  endif()
  message(STATUS "dist: no ZORV_SIGNING_CERT / ZORV_SIGNING_KEY: signed with a test certificate made on the spot (${cert})")
else()
  message(STATUS "dist: signed with ${cert}")
endif()
set(options -h sha256 -n "Zorvane Setup")
if(cert MATCHES "\\.(p12|pfx)$")
  list(APPEND options -pkcs12 ${cert} -pass "$ENV{ZORV_SIGNING_PASSWORD}")
else()
  list(APPEND options -certs ${cert} -key ${key})
endif()
if(NOT "$ENV{ZORV_TIMESTAMP_URL}" STREQUAL "")
  list(APPEND options -ts $ENV{ZORV_TIMESTAMP_URL})
endif()
file(REMOVE ${signed})
execute_process(COMMAND ${OSSLSIGNCODE} sign ${options} -in ${EXE} -out ${signed}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dist: osslsigncode could not sign the exe:\n${output}")
endif()
file(COPY_FILE ${EXE}.debug ${DIST}/zorv-setup.exe.debug)
file(SHA256 ${signed} exe_sum)
file(SHA256 ${DIST}/zorv-setup.exe.debug debug_sum)
file(WRITE ${DIST}/SHA256SUMS "${exe_sum}  zorv-setup.exe\n${debug_sum}  zorv-setup.exe.debug\n")
file(SIZE ${signed} size)
message(STATUS "dist: ${signed} (${size} bytes), SHA256SUMS beside it")
