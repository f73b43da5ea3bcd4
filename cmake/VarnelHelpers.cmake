# vnl_exports(target file.def): export undecorated names exactly as listed.
function(vnl_exports target def)
  target_sources(${target} PRIVATE ${def})
  target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
endfunction()

# vnl_test(name SOURCES ... [LIBS ...] [LOCK ...]): a GoogleTest suite run under
# Wine in the bench prefix. LOCK names resources the suite must hold alone.
function(vnl_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LOCK" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE vnl_bench GTest::gtest_main ${T_LIBS})
  set(props FIXTURES_REQUIRED wine_prefix TIMEOUT 300)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES ${props})
  if(T_LOCK)
    # Set on the discovered tests afterwards: gtest_discover_tests flattens
    # PROPERTIES, which would keep only the first of several lock names.
    set(lock_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_locks.cmake)
    file(WRITE ${lock_file}
      "foreach(test IN LISTS ${name}_TESTS)\n"
      "  set_tests_properties(\"\${test}\" PROPERTIES RESOURCE_LOCK \"${T_LOCK}\")\n"
      "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${lock_file})
  endif()
endfunction()

# vnl_probe(name SOURCES ... LIBS ...): a helper program tests start as a child.
function(vnl_probe name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${P_LIBS})
endfunction()
