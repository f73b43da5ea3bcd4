# vnl_exports(target file.def): export undecorated names exactly as listed.
function(vnl_exports target def)
  target_sources(${target} PRIVATE ${def})
  target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
endfunction()

# vnl_test(name SOURCES ... [LIBS ...] [LOCK ...] [PREFIX dir]): a GoogleTest
# suite run under Wine in the bench prefix. LOCK names resources the suite must
# hold alone. PREFIX runs it in a prefix of its own, build/<dir>, installed like
# the bench prefix by a fixture of its own (prefix.sh own), for suites that
# would disturb the other tests' prefix.
function(vnl_test name)
  cmake_parse_arguments(T "" "PREFIX" "SOURCES;LIBS;LOCK" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE vnl_bench GTest::gtest_main ${T_LIBS})
  set(props FIXTURES_REQUIRED wine_prefix TIMEOUT 300)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES ${props})
  # Properties with list values are set on the discovered tests afterwards:
  # gtest_discover_tests flattens PROPERTIES, which would keep only the first
  # of several lock names.
  set(extra "")
  if(T_LOCK)
    string(APPEND extra " RESOURCE_LOCK \"${T_LOCK}\"")
  endif()
  if(T_PREFIX)
    set(dir ${CMAKE_BINARY_DIR}/${T_PREFIX})
    if(NOT TEST ${T_PREFIX}_setup)
      add_test(NAME ${T_PREFIX}_setup COMMAND ${CMAKE_BINARY_DIR}/prefix.sh own ${dir})
      set_tests_properties(${T_PREFIX}_setup PROPERTIES FIXTURES_SETUP ${T_PREFIX} TIMEOUT 300)
      add_test(NAME ${T_PREFIX}_cleanup COMMAND ${CMAKE_BINARY_DIR}/prefix.sh cleanup ${dir})
      set_tests_properties(${T_PREFIX}_cleanup PROPERTIES FIXTURES_CLEANUP ${T_PREFIX})
    endif()
    string(APPEND extra " FIXTURES_REQUIRED \"wine_prefix;${T_PREFIX}\" ENVIRONMENT \"VNL_WINEPREFIX=${dir}\"")
  endif()
  if(extra)
    set(props_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_props.cmake)
    file(WRITE ${props_file}
      "foreach(test IN LISTS ${name}_TESTS)\n"
      "  set_tests_properties(\"\${test}\" PROPERTIES ${extra})\n"
      "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props_file})
  endif()
endfunction()

# vnl_probe(name SOURCES ... LIBS ...): a helper program tests start as a child.
function(vnl_probe name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${P_LIBS})
endfunction()

# vnl_type_library(name IDL file.idl): compiles a type library with widl.
# Makes, in the current binary folder, <stem>.tlb, <stem>.h (declarations for
# C and C++) and <stem>_i.c (the GUIDs), and an interface library `name` that
# gives a module the header's folder and the GUIDs. Interfaces derive from
# IDispatch through `import "oaidl.idl"` (cmake/idl names it for widl) and
# the library refers to it with importlib("stdole2.tlb"), found among Wine's
# type libraries (those of the architecture being built). vnl_embed_type_library puts the .tlb into a module.
# The widl and the standard OLE library of the architecture being built.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VNL_WIDL_TARGET --win64)
  set(VNL_WIDL_NAMES x86_64-w64-mingw32-widl widl)
  set(VNL_STDOLE2_PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows)
else()
  set(VNL_WIDL_TARGET --win32)
  set(VNL_WIDL_NAMES i686-w64-mingw32-widl widl)
  set(VNL_STDOLE2_PATHS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows)
endif()
find_program(VNL_WIDL NAMES ${VNL_WIDL_NAMES} REQUIRED)
find_path(VNL_STDOLE2_DIR stdole2.tlb PATHS ${VNL_STDOLE2_PATHS} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
function(vnl_type_library name)
  cmake_parse_arguments(L "" "IDL" "" ${ARGN})
  get_filename_component(idl ${L_IDL} ABSOLUTE)
  get_filename_component(stem ${idl} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  if(NOT VNL_STDOLE2_DIR)
    message(FATAL_ERROR "stdole2.tlb not found (Debian packages wine32:i386 or wine64)")
  endif()
  set(widl ${VNL_WIDL} ${VNL_WIDL_TARGET} -I ${CMAKE_SOURCE_DIR}/cmake/idl -L ${VNL_STDOLE2_DIR})
  add_custom_command(
    OUTPUT ${out}/${stem}.tlb ${out}/${stem}.h ${out}/${stem}_i.c
    COMMAND ${widl} -t -o ${out}/${stem}.tlb ${idl}
    COMMAND ${widl} -h -o ${out}/${stem}.h ${idl}
    COMMAND ${widl} -u -o ${out}/${stem}_i.c ${idl}
    DEPENDS ${idl} ${CMAKE_SOURCE_DIR}/cmake/idl/oaidl.idl
    COMMENT "widl ${stem}.idl"
    VERBATIM)
  add_custom_target(${name}_generate DEPENDS ${out}/${stem}.tlb ${out}/${stem}.h ${out}/${stem}_i.c)
  add_library(${name} INTERFACE)
  target_sources(${name} INTERFACE ${out}/${stem}_i.c)
  target_include_directories(${name} INTERFACE ${out})
  add_dependencies(${name} ${name}_generate)
  set_target_properties(${name} PROPERTIES VNL_TLB ${out}/${stem}.tlb)
  # The resource script that embeds the library as TYPELIB 1.
  file(WRITE ${out}/${stem}_tlb.rc "1 TYPELIB \"${out}/${stem}.tlb\"\n")
  set_target_properties(${name} PROPERTIES VNL_TLB_RC ${out}/${stem}_tlb.rc)
endfunction()

# vnl_embed_type_library(target name): the module carries type library `name`
# (made by vnl_type_library) as its resource TYPELIB 1, and gets its header and GUIDs.
function(vnl_embed_type_library target name)
  get_target_property(tlb ${name} VNL_TLB)
  get_target_property(rc ${name} VNL_TLB_RC)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS ${tlb})
  target_link_libraries(${target} PRIVATE ${name})
endfunction()
