# Toolchain for the 32-bit Windows build:
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# SSE arithmetic instead of x87, so that floating point rounds as in the 64-bit and native builds
# (libtiff built with this file gets it too).
set(BF_MINGW_TRIPLE i686-w64-mingw32)
set(BF_MINGW_PROCESSOR i686)
set(BF_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
