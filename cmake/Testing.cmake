include(GoogleTest)

# vx_add_test(NAME name LABEL label SOURCES ... LIBS ...)
# One GoogleTest program per library; every test case becomes a ctest entry with the label.
function(vx_add_test)
  if(VX_FUZZ)
    return()  # the fuzz build makes fuzz targets only
  endif()
  cmake_parse_arguments(T "QT" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE VX_FIXTURES_DIR="${VX_FIXTURES_DIR}"
                                               VX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(env "")
  if(T_QT)
    set(env "QT_QPA_PLATFORM=offscreen")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${T_LABEL} ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
