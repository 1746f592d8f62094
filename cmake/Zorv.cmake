# Helpers shared by every module and test directory.
#
# Texts in the program are code-page-936 byte strings: narrow literals in the
# project's own sources (which are UTF-8) are compiled to GBK bytes.  The flags
# go on the project's own targets only, never on libpng or GoogleTest.

function(zorv_own_flags target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -finput-charset=UTF-8 -fexec-charset=GBK)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE
      UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  endif()
endfunction()

# zorv_module(<name> [DEPENDS <libs>...] [WIN32_LIBS <system libs>...])
# Builds src/<name>/*.cpp into the library zorv_<name>.  Files ending in
# _win32.cpp hold the Windows edge and are compiled only in the Windows build;
# everything else is portable and compiled in both.
function(zorv_module name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;WIN32_LIBS;HOST_LIBS" ${ARGN})
  file(GLOB all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(sources)
  foreach(source IN LISTS all_sources)
    if(source MATCHES "_win32\\.cpp$" AND NOT WIN32)
      continue()
    endif()
    if(source MATCHES "_posix\\.cpp$" AND WIN32)
      continue()
    endif()
    list(APPEND sources ${source})
  endforeach()
  if(sources)
    add_library(zorv_${name} STATIC ${sources})
    zorv_own_flags(zorv_${name})
    set(scope PUBLIC)
  else()
    # Only headers so far in this build.
    add_library(zorv_${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(zorv_${name} ${scope} ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(zorv_${name} ${scope} ${ARG_DEPENDS})
  if(WIN32)
    target_link_libraries(zorv_${name} ${scope} ${ARG_WIN32_LIBS})
  else()
    target_link_libraries(zorv_${name} ${scope} ${ARG_HOST_LIBS})
  endif()
endfunction()

# zorv_test(<name> [CONCURRENCY] [SERIAL] [TIMEOUT <s>] [RESOURCE_LOCK <name>]
#           [PATTERN <globs>...] [SOURCES <files>...] [EXTRA <support sources>...]
#           LIBS <libs>... [PROPERTIES <name> <value>...])
# Builds the test files matching PATTERN (default *_test.cpp) in the current
# directory into one GoogleTest executable test_<name>: *_win32_test.cpp only
# in the Windows build, *_posix_test.cpp only in the native one.  EXTRA adds
# helper sources that are not tests.  PROPERTIES go on every test found (a
# fixture the tests need, their environment); each value is one word.
# CONCURRENCY marks tests that the ThreadSanitizer preset builds; that preset
# builds nothing else.  RESOURCE_LOCK keeps the tests from running at the same
# time as any other test that names the same lock.
function(zorv_test name)
  cmake_parse_arguments(ARG "CONCURRENCY;SERIAL" "TIMEOUT;RESOURCE_LOCK" "LIBS;SOURCES;PATTERN;EXTRA;PROPERTIES" ${ARGN})
  if(ZORV_TSAN AND NOT ARG_CONCURRENCY)
    return()
  endif()
  if(NOT ARG_PATTERN)
    set(ARG_PATTERN "*_test.cpp")
  endif()
  set(all_sources ${ARG_SOURCES})
  foreach(pattern IN LISTS ARG_PATTERN)
    file(GLOB matched CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
    list(APPEND all_sources ${matched})
  endforeach()
  list(REMOVE_DUPLICATES all_sources)
  set(sources)
  foreach(source IN LISTS all_sources)
    if(source MATCHES "_win32_test\\.cpp$" AND NOT WIN32)
      continue()
    endif()
    if(source MATCHES "_posix_test\\.cpp$" AND WIN32)
      continue()
    endif()
    list(APPEND sources ${source})
  endforeach()
  if(NOT sources)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  add_executable(test_${name} ${sources} ${ARG_EXTRA})
  zorv_own_flags(test_${name})
  target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(test_${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  set(properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_SERIAL)
    # Tests that must not overlap any other test (e.g. single-instance programs).
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  list(APPEND properties ${ARG_PROPERTIES})
  if(ZORV_TSAN)
    list(APPEND properties ENVIRONMENT_MODIFICATION
      "TSAN_OPTIONS=set:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan-libraries.supp")
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(test_${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
endfunction()
