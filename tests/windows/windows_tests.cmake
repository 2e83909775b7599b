# The test suites cross-built for Windows and run under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
# Included by tests/CMakeLists.txt before the suites' folders.

# The POSIX calls the suites use (mkdtemp, setenv), for every test source.
add_compile_options(-include ${CMAKE_CURRENT_LIST_DIR}/posix_compat.h)

# kelvartix_skipped_on_windows(<name> <reason>): stands for tests that need machinery Windows
# lacks; CTest lists it as skipped, and its output says why.
function(kelvartix_skipped_on_windows name reason)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "Skipped on Windows: ${reason}")
  set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "Skipped on Windows")
endfunction()

# Under Wine a program starts more slowly than natively, the first one while the Wine prefix is
# made: give the listing of each suite's tests more time than the default 5 s.
function(gtest_discover_tests target)
  _gtest_discover_tests(${target} ${ARGN} DISCOVERY_TIMEOUT 120)
endfunction()

# GoogleTest's main, with standard output in binary mode (see gtest_main.cpp).
set_property(TARGET gtest_main PROPERTY SOURCES ${CMAKE_CURRENT_LIST_DIR}/gtest_main.cpp)
