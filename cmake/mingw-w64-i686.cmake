set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
# The -posix compilers: GoogleTest needs std::mutex.
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# A static runtime: no libstdc++, libgcc or winpthread DLLs beside the exporters.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# 32-bit programs start through the "wine" wrapper, which runs the 32-bit loader (or what
# scripts/windows-tests.sh names where the kernel refuses 32-bit programs).
find_program(QX_WINE_LOADER NAMES wine PATHS /usr/bin /usr/lib/wine NO_DEFAULT_PATH)
# The loader runs each test program through scripts/lib/wine-run.sh, which keeps the Wine
# helpers the program starts off CTest's pipe.
if(QX_WINE_LOADER)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/lib/wine-run.sh ${QX_WINE_LOADER})
endif()
