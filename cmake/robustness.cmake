# Robustness checks: fuzz targets, the allocation-failure sweep, adversarial calls in Octave,
# valgrind on the Octave MEX files, and slow tests of counter wrap and scale.
#
#   VORLA_FUZZ=ON        libFuzzer targets fuzz_fit, fuzz_learn, fuzz_eval, fuzz_score and fuzz_batch (vorla_learn's
#                        batch) (clang++ only), with ctest
#                        tests fuzz_*_corpus and fuzz_*_60s; see scripts/fuzz.sh.
#   VORLA_SLOW_TESTS=ON  registers the tests of tests/slow (label "slow"); see tests/slow/run.sh.
# The allocation sweep, the corpus replays and the Octave tests join the ordinary test build.

option(VORLA_FUZZ "Build the libFuzzer targets fuzz_fit, fuzz_learn, fuzz_eval, fuzz_score and fuzz_batch (needs clang++)" OFF)
option(VORLA_SLOW_TESTS "Register the slow tests of tests/slow" OFF)

set(vorla_root ${CMAKE_CURRENT_SOURCE_DIR})
set(vorla_fuzz_targets fit learn eval score batch)

if(VORLA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VORLA_FUZZ needs clang++ (libFuzzer); configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  enable_testing()
  set(vorla_fuzz_flags -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g)
  # The production sources and the stand-in host, all instrumented for coverage and sanitizers.
  add_library(vorla_fuzz_core STATIC ${VORLA_COMMON_SOURCES} ${VORLA_FIT_SOURCES} ${VORLA_EVAL_SOURCES} ${VORLA_LEARN_SOURCES}
    ${VORLA_SCORE_SOURCES}
    ${vorla_root}/tests/standin/standin.cpp ${vorla_root}/fuzz/fuzz_call.cpp ${vorla_root}/fuzz/plain_training.cpp)
  target_include_directories(vorla_fuzz_core PUBLIC ${VORLA_INCLUDES} ${vorla_root}/tests/standin ${vorla_root}/fuzz)
  target_compile_definitions(vorla_fuzz_core PUBLIC VORLA_HOST_STANDIN)
  target_compile_options(vorla_fuzz_core PUBLIC ${vorla_fuzz_flags})
  foreach(t IN LISTS vorla_fuzz_targets)
    add_executable(fuzz_${t} ${vorla_root}/fuzz/${t}_target.cpp)
    target_link_libraries(fuzz_${t} PRIVATE vorla_fuzz_core)
    target_link_options(fuzz_${t} PRIVATE -fsanitize=fuzzer,address,undefined)
    # New inputs go to a scratch corpus in the build folder; the seeds in the repository are only read.
    set(scratch ${CMAKE_BINARY_DIR}/fuzz-corpus/${t})
    file(MAKE_DIRECTORY ${scratch} ${CMAKE_BINARY_DIR}/fuzz-artifacts)
    add_test(NAME fuzz_${t}_corpus COMMAND fuzz_${t} -runs=0 ${vorla_root}/fuzz/corpus/${t})
    add_test(NAME fuzz_${t}_60s COMMAND fuzz_${t} -max_total_time=60 -print_final_stats=1
      -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz-artifacts/${t}- ${scratch} ${vorla_root}/fuzz/corpus/${t})
    set_tests_properties(fuzz_${t}_60s fuzz_${t}_corpus PROPERTIES LABELS fuzz)
    set_tests_properties(fuzz_${t}_60s PROPERTIES TIMEOUT 180)
    set_tests_properties(fuzz_${t}_corpus PROPERTIES TIMEOUT 60)
  endforeach()

  # The same targets with source coverage instead of sanitizers, run over a corpus by
  # scripts/fuzz.sh to report which lines of the production code the fuzzing reached.
  set(vorla_cover_flags -fprofile-instr-generate -fcoverage-mapping)
  add_library(vorla_cover_core STATIC ${VORLA_COMMON_SOURCES} ${VORLA_FIT_SOURCES} ${VORLA_EVAL_SOURCES} ${VORLA_LEARN_SOURCES}
    ${VORLA_SCORE_SOURCES}
    ${vorla_root}/tests/standin/standin.cpp ${vorla_root}/fuzz/fuzz_call.cpp ${vorla_root}/fuzz/plain_training.cpp)
  target_include_directories(vorla_cover_core PUBLIC ${VORLA_INCLUDES} ${vorla_root}/tests/standin ${vorla_root}/fuzz)
  target_compile_definitions(vorla_cover_core PUBLIC VORLA_HOST_STANDIN)
  target_compile_options(vorla_cover_core PUBLIC ${vorla_cover_flags})
  foreach(t IN LISTS vorla_fuzz_targets)
    add_executable(fuzz_cover_${t} ${vorla_root}/fuzz/${t}_target.cpp ${vorla_root}/fuzz/replay.cpp)
    target_link_libraries(fuzz_cover_${t} PRIVATE vorla_cover_core)
    target_link_options(fuzz_cover_${t} PRIVATE -fprofile-instr-generate)
  endforeach()
endif()

if(TARGET vorla_core)
  # Every host and free-store allocation of representative calls failing in turn.
  find_package(GTest REQUIRED)
  add_executable(alloc_sweep_tests ${vorla_root}/tests/unit/alloc_sweep_test.cpp)
  target_include_directories(alloc_sweep_tests PRIVATE ${vorla_root}/tests/unit)
  target_link_libraries(alloc_sweep_tests PRIVATE vorla_core GTest::gtest GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(alloc_sweep_tests TEST_PREFIX "alloc_sweep." DISCOVERY_TIMEOUT 60)

  # The fuzz targets without libFuzzer, with any compiler: the seed corpus and a fixed stream
  # of random inputs.
  foreach(t IN LISTS vorla_fuzz_targets)
    add_executable(fuzz_replay_${t} ${vorla_root}/fuzz/${t}_target.cpp ${vorla_root}/fuzz/fuzz_call.cpp
      ${vorla_root}/fuzz/plain_training.cpp ${vorla_root}/fuzz/replay.cpp)
    target_include_directories(fuzz_replay_${t} PRIVATE ${vorla_root}/fuzz)
    target_link_libraries(fuzz_replay_${t} PRIVATE vorla_core)
    add_test(NAME fuzz_replay_${t} COMMAND fuzz_replay_${t} ${vorla_root}/fuzz/corpus/${t} --random 20000)
    set_tests_properties(fuzz_replay_${t} PROPERTIES TIMEOUT 300)
  endforeach()
endif()

if(VORLA_TESTS AND TARGET vorla_core AND VORLA_SLOW_TESTS)
  # Counter wrap after more than 2^32 operations.
  add_executable(counter_wrap_tests ${vorla_root}/tests/slow/counter_wrap_test.cpp)
  target_link_libraries(counter_wrap_tests PRIVATE vorla_core GTest::gtest GTest::gtest_main)
  add_test(NAME slow_counter_wrap COMMAND counter_wrap_tests)
  set_tests_properties(slow_counter_wrap PROPERTIES LABELS slow TIMEOUT 900)
endif()

if(VORLA_OCTAVE_FOUND AND VORLA_TESTS)
  set(vorla_octave_cli octave-cli --no-gui --norc --no-history --quiet)
  add_test(NAME octave_adversarial
    COMMAND ${vorla_octave_cli} --eval "addpath('${vorla_root}/tests/octave'); adversarial('${CMAKE_BINARY_DIR}')")
  set_tests_properties(octave_adversarial PROPERTIES LABELS octave TIMEOUT 300)
  # About a minute on two cores; CI can leave it out with -LE valgrind.
  add_test(NAME valgrind_octave COMMAND ${vorla_root}/tests/valgrind/run.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(valgrind_octave PROPERTIES LABELS "octave;valgrind" TIMEOUT 900 SKIP_RETURN_CODE 77)
  if(VORLA_SLOW_TESTS)
    add_test(NAME slow_octave_scale COMMAND ${vorla_root}/tests/slow/scale.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(slow_octave_scale PROPERTIES LABELS "slow;octave" TIMEOUT 1800)
  endif()
endif()
