# Cross-compiles for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
# The -posix compilers carry the C++ threads the store's memory pool locks with. The C and C++
# runtimes and the thread library are linked statically, so kelvartix.exe needs no DLL beside it
# (only Windows' own KERNEL32, msvcrt and SHELL32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVARTIX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVARTIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVARTIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVARTIX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVARTIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib (Debian: libz-mingw-w64-dev) as its archive, not its DLL's import library.
set(ZLIB_USE_STATIC_LIBS ON)

# -static takes libgcc, libstdc++ and winpthread as archives.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here (the tests, through CTest) run under Wine when it is installed, with a Wine
# prefix of the build's own (build-windows/wineprefix).
find_program(KELVARTIX_WINE NAMES wine)
if(KELVARTIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
endif()
