# Folder libraries and their include views.
#
# Every source folder is one library, and its files include headers as "<folder>/Name.h". A
# library does not see the whole source tree: each folder has an include view in the build tree
# (include-views/<folder>/<folder> -> the folder itself), and only the views of a library and of
# the libraries it links are on its include path. A file that includes a header of a folder its
# library does not link therefore fails to compile: the links in the CMakeLists are the
# dependency rules, and the compiler enforces them.

# Puts <folder>'s include view on the include path of <target> and of everything that links it.
function(bf_include_view target folder)
  set(view ${CMAKE_BINARY_DIR}/include-views/${folder})
  if(NOT EXISTS ${view}/${folder})
    file(MAKE_DIRECTORY ${view})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${view})
  else()
    target_include_directories(${target} PUBLIC ${view})
  endif()
endfunction()

# bf_folder_library(<folder> [LINKS lib...]): the static library bf_<folder> of every .cpp in
# <folder>, seeing its own headers and those of the libraries it links (PUBLIC: what a folder
# may include, its users may include too, because its headers include them).
function(bf_folder_library folder)
  cmake_parse_arguments(arg "" "" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  add_library(bf_${folder} STATIC ${sources})
  bf_include_view(bf_${folder} ${folder})
  if(arg_LINKS)
    target_link_libraries(bf_${folder} PUBLIC ${arg_LINKS})
  endif()
endfunction()
