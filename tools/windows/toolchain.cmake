# Cross-compiling for Windows x64 with Debian's MinGW-w64 (POSIX threads, which Qt needs).
# KORVA_WINDOWS_PREFIX names the folder where Qt, zlib and libxlsxwriter for Windows are installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB x86_64-w64-mingw32-gcc-ranlib-posix CACHE FILEPATH "")

# Toolchain files are read again by try_compile; the prefix travels through the environment there.
if(KORVA_WINDOWS_PREFIX)
  set(ENV{KORVA_WINDOWS_PREFIX} "${KORVA_WINDOWS_PREFIX}")
elseif(DEFINED ENV{KORVA_WINDOWS_PREFIX})
  set(KORVA_WINDOWS_PREFIX "$ENV{KORVA_WINDOWS_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${KORVA_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
