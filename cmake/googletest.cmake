# GoogleTest for the test suites: the installed package, or, when cross-compiling (no library for
# the target system is installed), built here from the googletest sources (Debian: googletest).
if(CMAKE_CROSSCOMPILING)
  set(KELVARTIX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources, built for the target")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KELVARTIX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
