# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix: the
# POSIX thread model, which std::thread and std::mutex need). Use with
#   cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(korva_mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${korva_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${korva_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${korva_mingw_prefix}-windres)
set(CMAKE_OBJDUMP ${korva_mingw_prefix}-objdump CACHE FILEPATH "objdump for the Windows executables")

# Headers and libraries come from the cross compiler's own tree only; programs (code
# generators, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${korva_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
