# Toolchain for the 64-bit Windows build:
#   cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(BF_MINGW_TRIPLE x86_64-w64-mingw32)
set(BF_MINGW_PROCESSOR x86_64)
set(BF_MINGW_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
