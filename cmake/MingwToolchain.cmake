# Shared part of the mingw-w64 toolchain files; the including file sets BF_MINGW_TRIPLE and
# BF_MINGW_PROCESSOR. Uses Debian's mingw-w64 cross compilers and binutils.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${BF_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${BF_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${BF_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${BF_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${BF_MINGW_TRIPLE}-ar CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${BF_MINGW_TRIPLE}-ranlib CACHE FILEPATH "ranlib")

# Libraries and headers come only from the cross root and from the cross-built libtiff
# (scripts/build-libtiff-windows installs it into third_party/build/<triple>, or set BF_TIFF_ROOT);
# build tools (python3, ...) come from the build machine.
if(NOT BF_TIFF_ROOT)
  set(BF_TIFF_ROOT ${CMAKE_CURRENT_LIST_DIR}/../third_party/build/${BF_MINGW_TRIPLE})
endif()
get_filename_component(BF_TIFF_ROOT ${BF_TIFF_ROOT} ABSOLUTE)
set(BF_TIFF_ROOT ${BF_TIFF_ROOT} CACHE PATH "Install prefix of the cross-built static libtiff")
# The bevelforge tool's libpng, FreeType and potrace (scripts/build-tool-libs-windows); the tool
# is left out of a build that lacks libpng or FreeType, and cannot trace pictures without potrace.
if(NOT BF_TOOL_LIBS_ROOT)
  set(BF_TOOL_LIBS_ROOT ${CMAKE_CURRENT_LIST_DIR}/../third_party/tool-build/${BF_MINGW_TRIPLE})
endif()
get_filename_component(BF_TOOL_LIBS_ROOT ${BF_TOOL_LIBS_ROOT} ABSOLUTE)
set(BF_TOOL_LIBS_ROOT ${BF_TOOL_LIBS_ROOT} CACHE PATH "Install prefix of the cross-built static libpng, FreeType and potrace")
set(CMAKE_FIND_ROOT_PATH /usr/${BF_MINGW_TRIPLE} ${BF_TIFF_ROOT} ${BF_TOOL_LIBS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

set(CMAKE_C_FLAGS_INIT "${BF_MINGW_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${BF_MINGW_ARCH_FLAGS}")
