include(GoogleTest)

# quorvex_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# Builds one GoogleTest executable with the shared test main and registers its cases with CTest.
function(quorvex_add_test)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE quorvex_test_support ${ARG_LIBS} quorvex_warnings)
  set(props ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()
