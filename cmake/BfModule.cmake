# bf_windows_module(<target>)
#
# Gives the filter module's SHARED library target its Windows form; call it right after
# add_library(<target> SHARED ...). Does nothing in a native build, so it can be called
# unconditionally.
#
# On Windows the target then
#   - is written as BevelForge.8bf (no "lib" prefix, the extension hosts scan for), next to the
#     other build outputs' folder of the target;
#   - exports exactly PluginMain, undecorated on both architectures (resources/BevelForge.def;
#     the function must be extern "C" and cdecl, not stdcall, and no other symbol dllexport);
#   - carries the resources of resources/BevelForge.rc (property list, message texts), compiled
#     for its own architecture by the bf_resources object library;
#   - links the C and C++ runtimes statically (see the top-level link options), so the module
#     needs no DLL besides the system's.
function(bf_windows_module target)
  if(NOT BF_WINDOWS)
    return()
  endif()
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME BevelForge
    SUFFIX ".8bf")
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources/BevelForge.def)
  target_link_libraries(${target} PRIVATE bf_resources)
  # No automatic export of every symbol; note that a symbol marked dllexport is still exported,
  # so only PluginMain may carry it (scripts/check-module fails on any other export).
  target_link_options(${target} PRIVATE -Wl,--exclude-all-symbols)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # A stdcall PluginMain (exported as PluginMain@16, which hosts do not find) fails to link
    # instead of being quietly bound to the name in the .def.
    target_link_options(${target} PRIVATE -Wl,--disable-stdcall-fixup)
  endif()
endfunction()
