# CMake toolchain file: cross-compile for 64-bit Windows with Debian's mingw-w64.
#   apt-get install --no-install-recommends g++-mingw-w64-x86-64-posix wine64 wine
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# Name the "-posix" thread-model compilers explicitly: the "-win32" ones (GCC 12)
# have no std::thread/std::mutex, which GoogleTest needs, and they win the
# update-alternatives default whenever both variants are installed.
set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)

# Look for target headers/libraries only in the mingw sysroot, for tools only on the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained .exe files: libstdc++, libgcc and winpthread linked in statically,
# so only system DLLs (KERNEL32, msvcrt, ...) are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Run target programs (ctest, try_run, gtest_discover_tests) through Wine, quietly.
# /usr/bin/wine comes from the "wine" package; /usr/lib/wine/wine64 from "wine64" alone.
# Start a persistent Wine session before ctest, or every test waits ~2.5 s for Wine's
# service processes to let go of its output pipe:
#   wineserver -p; wine cmd /c exit 0 </dev/null >/dev/null 2>&1   (after: wineserver -k)
find_program(WINE_EXECUTABLE NAMES wine wine64 PATHS /usr/lib/wine)
if(WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env WINEDEBUG=-all ${WINE_EXECUTABLE})
endif()
