# vx_add_fuzzer(NAME name SOURCES ... LIBS ...)
# With VX_FUZZ the target is a libFuzzer binary (./dev fuzz). Otherwise it is
# linked with a replay driver and ctest replays tests/fuzz/corpus/<name> through
# it, so every build checks that the seed corpus still runs clean.
function(vx_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  set(target fuzz_${F_NAME})
  set(corpus ${VX_SOURCE_DIR}/tests/fuzz/corpus/${F_NAME})
  if(VX_FUZZ)
    add_executable(${target} ${F_SOURCES})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${target} ${F_SOURCES} ${VX_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
    add_test(NAME fuzz_replay_${F_NAME} COMMAND ${target} ${corpus})
    set_tests_properties(fuzz_replay_${F_NAME} PROPERTIES LABELS fuzz TIMEOUT 600)
  endif()
  target_link_libraries(${target} PRIVATE ${F_LIBS})
endfunction()
