# How tests reach the test environment: the fixed values of testenv/testenv.conf go into every
# test's environment, and Windows test programs run under Wine through testenv/wine-run.sh.
file(STRINGS ${PROJECT_SOURCE_DIR}/testenv/testenv.conf _conf REGEX "^[A-Z_]+=")
set(XQV_TEST_ENVIRONMENT)
foreach(_line IN LISTS _conf)
  list(APPEND XQV_TEST_ENVIRONMENT "XQV_${_line}")
endforeach()
set(XQV_BUILD_ROOT ${PROJECT_SOURCE_DIR}/build CACHE PATH "where testenv keeps its state")
# Each Windows build runs its programs in a test environment of its own (testenv/env.sh): the
# x86_64 build in build/testenv, the i686 build in build/testenv-i686.
if(CMAKE_CROSSCOMPILING)
  set(XQV_TEST_ARCH ${XQV_WIN_ARCH})
else()
  set(XQV_TEST_ARCH x86_64)
endif()
if(XQV_TEST_ARCH STREQUAL "i686")
  set(XQV_TESTENV_DIR ${XQV_BUILD_ROOT}/testenv-i686)
else()
  set(XQV_TESTENV_DIR ${XQV_BUILD_ROOT}/testenv)
endif()
list(APPEND XQV_TEST_ENVIRONMENT "XQV_ARCH=${XQV_TEST_ARCH}" "XQV_TESTENV_DIR=${XQV_TESTENV_DIR}"
     "XQV_WINEPREFIX=${XQV_TESTENV_DIR}/wineprefix" "XQV_BUILD_DIR=${CMAKE_BINARY_DIR}"
     "XQV_SOURCE_DIR=${PROJECT_SOURCE_DIR}")

# xqv_add_test(NAME target [ARGS ...]): one ctest test running a test program (under Wine for
# the windows build), with the environment above and its working folder in the build folder.
function(xqv_add_test name target)
  cmake_parse_arguments(T "" "TIMEOUT" "ARGS;LABELS" ${ARGN})
  if(CMAKE_CROSSCOMPILING AND NOT XQV_WINE_TESTS)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${target} ${T_ARGS} WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${XQV_TEST_ENVIRONMENT}" TIMEOUT ${T_TIMEOUT}
                                          LABELS "${T_LABELS}")
  # Every Windows test is followed by the check that the server's password was left nowhere
  # (tests/secrets).
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED xqv_suite)
  endif()
endfunction()
