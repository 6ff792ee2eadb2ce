# Cross build for Windows with MinGW-w64, posix threading variant (std::thread, std::mutex and
# GoogleTest need it). ORVEX_WINDOWS_ARCH: i686 (the shipped 32-bit program, the default) or
# x86_64 (the same sources as a 64-bit program, for machines whose kernel runs no 32-bit code,
# where Wine can only run 64-bit programs).
if(NOT ORVEX_WINDOWS_ARCH)
  set(ORVEX_WINDOWS_ARCH i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORVEX_WINDOWS_ARCH})
set(CMAKE_C_COMPILER ${ORVEX_WINDOWS_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVEX_WINDOWS_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${ORVEX_WINDOWS_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVEX_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests of the cross build run under Wine, each in a fresh copy of the template prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
