# Cross-building for 64-bit Windows with Debian's mingw-w64, in its POSIX
# thread model (std::thread, std::mutex). Use:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSEL_MINGW}-windres)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TESSEL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs that carry the compiler's runtime inside: nothing to copy beside
# them, on Windows or under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests built here run under Wine on the build machine.
find_program(TESSEL_WINE wine)
if(TESSEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSEL_WINE})
endif()
