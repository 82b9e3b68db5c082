# Cross build for 64-bit Windows with Debian's MinGW-w64, posix threads flavour (the win32
# flavour of GCC 12 has no std::thread or std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries and headers come from the MinGW tree only, never from the host's /usr: Debian's
# MinGW packages (zlib) and the static expat and bzip2 scripts/build-windows-libs builds.
get_filename_component(SOLVANE_MINGW_DEPS "${CMAKE_CURRENT_LIST_DIR}/../.deps/mingw-w64/prefix" ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${SOLVANE_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib has an import library beside the static one; the static one is linked.
set(ZLIB_USE_STATIC_LIBS ON)

# The executables need only the system's DLLs: the C++ runtime and winpthread go in statically.
# No link time in the PE header, so the same sources give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")

# Windows executables run on Linux under Wine.
find_program(SOLVANE_WINE NAMES wine)
if(SOLVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SOLVANE_WINE})
endif()
