# The product's signature: what the installer accepts, and for the test and
# demo builds a publisher certificate made on the spot.
#
# ZORV_PRODUCT_SIGNER      SHA-256 thumbprints of the publisher's signing
#                          certificates (hex, colons allowed; several
#                          separated by ";" for a certificate change).
#                          Empty: any valid signature that chains to a root
#                          the system trusts.
# ZORV_UNSAFE_NO_SIGNATURE_CHECK
#                          installs a downloaded product without looking at
#                          its signature.  Unsafe: whoever can change the
#                          download on its way then chooses what runs as
#                          administrator.
# ZORV_TEST_SIGNING        the Windows test presets: a test publisher and a
#                          second, unrelated signer are made with openssl in
#                          <build>/signing at configure time (never kept in
#                          the tree), the stand-in product is signed by the
#                          publisher, and unless ZORV_PRODUCT_SIGNER says
#                          otherwise the installer accepts that publisher
#                          only.
set(ZORV_PRODUCT_SIGNER "" CACHE STRING
  "SHA-256 thumbprints of the publisher's code-signing certificates (hex; several separated by ;)")
option(ZORV_UNSAFE_NO_SIGNATURE_CHECK "UNSAFE: install the downloaded product without checking its signature" OFF)
option(ZORV_TEST_SIGNING "Sign the stand-in product with a test publisher made at configure time and pin to it" OFF)

set(ZORV_SIGNING_DIR ${CMAKE_BINARY_DIR}/signing)

# Makes <dir>/<name>.pem and <name>.key: a self-signed code-signing
# certificate for the subject.
function(zorv_make_signer name subject)
  if(EXISTS ${ZORV_SIGNING_DIR}/${name}.pem AND EXISTS ${ZORV_SIGNING_DIR}/${name}.key)
    return()
  endif()
  execute_process(
    COMMAND ${ZORV_OPENSSL} req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650
            -subj "/CN=${subject}" -addext "extendedKeyUsage=codeSigning"
            -keyout ${ZORV_SIGNING_DIR}/${name}.key -out ${ZORV_SIGNING_DIR}/${name}.pem
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "openssl could not make the test signer ${name}: ${error}")
  endif()
endfunction()

# The SHA-256 thumbprint of a certificate, as 64 hex digits.
function(zorv_thumbprint pem out)
  execute_process(COMMAND ${ZORV_OPENSSL} x509 -in ${pem} -noout -fingerprint -sha256
    OUTPUT_VARIABLE fingerprint RESULT_VARIABLE result)
  string(REGEX REPLACE ".*=" "" fingerprint "${fingerprint}")
  string(REPLACE ":" "" fingerprint "${fingerprint}")
  string(STRIP "${fingerprint}" fingerprint)
  if(NOT result EQUAL 0 OR NOT fingerprint MATCHES "^[0-9A-Fa-f]+$")
    message(FATAL_ERROR "openssl gave no thumbprint for ${pem}")
  endif()
  set(${out} ${fingerprint} PARENT_SCOPE)
endfunction()

set(ZORV_EFFECTIVE_SIGNER "${ZORV_PRODUCT_SIGNER}")
if(ZORV_TEST_SIGNING)
  find_program(ZORV_OPENSSL openssl REQUIRED)
  find_program(ZORV_OSSLSIGNCODE osslsigncode REQUIRED)
  file(MAKE_DIRECTORY ${ZORV_SIGNING_DIR})
  zorv_make_signer(publisher "Zorvane Test Publisher")
  zorv_make_signer(other "Someone Else")
  zorv_thumbprint(${ZORV_SIGNING_DIR}/publisher.pem ZORV_TEST_PUBLISHER_THUMBPRINT)
  if(ZORV_EFFECTIVE_SIGNER STREQUAL "")
    set(ZORV_EFFECTIVE_SIGNER ${ZORV_TEST_PUBLISHER_THUMBPRINT})
  endif()
endif()

# Every piece must be a whole thumbprint: a typo must not turn the pin off.
string(REPLACE "," ";" signer_pieces "${ZORV_EFFECTIVE_SIGNER}")
foreach(piece IN LISTS signer_pieces)
  string(REGEX REPLACE "[: \t]" "" digits "${piece}")
  if(NOT digits STREQUAL "" AND NOT digits MATCHES "^[0-9A-Fa-f]+$")
    message(FATAL_ERROR "ZORV_PRODUCT_SIGNER: '${piece}' is no SHA-256 thumbprint")
  endif()
  string(LENGTH "${digits}" length)
  if(NOT digits STREQUAL "" AND NOT length EQUAL 64)
    message(FATAL_ERROR "ZORV_PRODUCT_SIGNER: '${piece}' has ${length} hex digits, a SHA-256 thumbprint has 64")
  endif()
endforeach()
string(REPLACE ";" "," ZORV_EFFECTIVE_SIGNER "${ZORV_EFFECTIVE_SIGNER}")
if(ZORV_UNSAFE_NO_SIGNATURE_CHECK)
  message(WARNING "ZORV_UNSAFE_NO_SIGNATURE_CHECK: this installer starts whatever it downloads, unverified")
endif()

# The command that signs <in> into <out> with one of the signers made above.
function(zorv_sign_command out_var signer in out)
  set(${out_var} ${ZORV_OSSLSIGNCODE} sign -certs ${ZORV_SIGNING_DIR}/${signer}.pem
      -key ${ZORV_SIGNING_DIR}/${signer}.key -h sha256 -n Zorvane -in ${in} -out ${out} PARENT_SCOPE)
endfunction()
