# Benchmarks of the node search, never part of the test run. Build and run with
#   cmake -S . -B build-bench -DVORLA_BENCH=ON
#   cmake --build build-bench --target vorla_bench && build-bench/bench/vorla_bench
#   cmake --build build-bench --target bench_compare    (MEX files against vectorized Octave)
# See doc/performance.md.
option(VORLA_BENCH "Build the benchmarks in bench/ (not run by ctest)" OFF)
if(NOT VORLA_BENCH)
  return()
endif()
if(NOT TARGET vorla_core)
  message(WARNING "VORLA_BENCH needs the stand-in host library: configure with VORLA_TESTS=ON")
  return()
endif()

find_package(benchmark REQUIRED)
add_executable(vorla_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench/search_bench.cpp)
target_link_libraries(vorla_bench PRIVATE vorla_core benchmark::benchmark)
set_target_properties(vorla_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_executable(first_touch ${CMAKE_CURRENT_SOURCE_DIR}/bench/first_touch.cpp)
set_target_properties(first_touch PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

if(VORLA_OCTAVE_FOUND)
  # The plain AVX2 kernel that compare.m shows beside vorla_eval.
  vorla_add_octave_mex(yardstick_eval ${CMAKE_CURRENT_SOURCE_DIR}/bench/yardstick_eval.cpp)
  # What handing N doubles back to Octave costs by itself, beside vorla_eval's cost per pattern.
  vorla_add_octave_mex(return_only ${CMAKE_CURRENT_SOURCE_DIR}/bench/return_only.cpp)
  add_custom_target(bench_compare
    COMMAND octave-cli --no-gui --norc --no-history --quiet
      --eval "addpath('${CMAKE_BINARY_DIR}'); addpath('${CMAKE_CURRENT_SOURCE_DIR}/bench'); compare()"
    DEPENDS vorla_fit vorla_eval yardstick_eval return_only
    USES_TERMINAL)
endif()
