# Shared part of the MinGW-w64 toolchains. The including file sets LV_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

set(CMAKE_C_COMPILER ${LV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LV_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# The static Windows libraries (libjpeg-turbo, libpng, libtiff, GoogleTest) that scripts/build-win-deps.sh
# builds once per machine, outside every source tree.
if(NOT LV_WIN_DEPS_DIR)
  if(DEFINED ENV{LV_WIN_DEPS_ROOT})
    set(LV_WIN_DEPS_DIR "$ENV{LV_WIN_DEPS_ROOT}/${LV_MINGW_TRIPLET}")
  else()
    set(LV_WIN_DEPS_DIR "$ENV{HOME}/.cache/lumivue/${LV_MINGW_TRIPLET}")
  endif()
endif()
set(LV_WIN_DEPS_DIR "${LV_WIN_DEPS_DIR}" CACHE PATH "Prefix of the cross-built Windows libraries")
# try_compile projects run the toolchain file again and need the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LV_WIN_DEPS_DIR LV_MINGW_TRIPLET)

# Search the cross sysroot and the library cache only; the host's /usr/include and /usr/lib must never
# leak into a Windows build.
set(CMAKE_FIND_ROOT_PATH /usr/${LV_MINGW_TRIPLET} ${LV_WIN_DEPS_DIR})
set(CMAKE_PREFIX_PATH ${LV_WIN_DEPS_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CMake prefers the import library libz.dll.a to libz.a: pin the static one.
set(ZLIB_LIBRARY /usr/${LV_MINGW_TRIPLET}/lib/libz.a CACHE FILEPATH "zlib (static)")
set(ZLIB_INCLUDE_DIR /usr/${LV_MINGW_TRIPLET}/include CACHE PATH "zlib headers")

# One self-contained executable: no libgcc, libstdc++ or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
