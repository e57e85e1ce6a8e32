# Cross-builds the configurator for 64-bit Windows with Debian's MinGW-w64 (posix threads)
# against the Qt of the shared toolchain archive, unpacked anywhere:
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DVELTRA_QT_WIN64=/path/to/qt5-win64
#
# scripts/build-windows does this and everything around it. Test executables run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELTRA_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELTRA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTRA_MINGW}-windres)

if(NOT VELTRA_QT_WIN64 AND DEFINED ENV{VELTRA_QT_WIN64})
  set(VELTRA_QT_WIN64 $ENV{VELTRA_QT_WIN64})
endif()
set(VELTRA_QT_WIN64 "${VELTRA_QT_WIN64}" CACHE PATH "The unpacked qt5-win64 folder")
if(NOT EXISTS "${VELTRA_QT_WIN64}/lib/cmake/Qt5/Qt5Config.cmake")
  message(FATAL_ERROR "No Windows Qt at '${VELTRA_QT_WIN64}': set VELTRA_QT_WIN64 to the qt5-win64 "
    "folder unpacked from qt-5.15.8-win64-mingw.tar.xz (scripts/build-windows does it)")
endif()
# try_compile() projects see the folder too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELTRA_QT_WIN64)

set(CMAKE_FIND_ROOT_PATH ${VELTRA_QT_WIN64} /usr/${VELTRA_MINGW})
set(CMAKE_PREFIX_PATH ${VELTRA_QT_WIN64})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The MinGW runtime DLLs every program built here needs beside it.
set(VELTRA_MINGW_RUNTIME_DIRS /usr/lib/gcc/${VELTRA_MINGW}/12-posix /usr/${VELTRA_MINGW}/lib)

# Test executables run under Wine through scripts/wine-run, which finds the Qt and MinGW DLLs.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env "VELTRA_QT_WIN64=${VELTRA_QT_WIN64}"
  ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
