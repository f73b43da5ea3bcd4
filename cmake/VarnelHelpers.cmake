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
