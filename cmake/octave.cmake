# GNU Octave MEX files, built against the installed Octave's headers and libraries as
# mkoctfile reports them. They land at build/vorla_fit.mex, build/vorla_eval.mex and
# build/vorla_learn.mex.
if(NOT VORLA_OCTAVE OR VORLA_SANITIZE)
  return()
endif()
find_program(MKOCTFILE_EXECUTABLE mkoctfile)
if(NOT MKOCTFILE_EXECUTABLE)
  message(STATUS "mkoctfile not found: the Octave MEX files are not built")
  return()
endif()

function(vorla_mkoctfile_value name out)
  execute_process(COMMAND ${MKOCTFILE_EXECUTABLE} -p ${name} OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
vorla_mkoctfile_value(INCFLAGS octave_incflags)
vorla_mkoctfile_value(OCTLIBDIR octave_libdir)
separate_arguments(octave_incflags UNIX_COMMAND "${octave_incflags}")
set(octave_include_dirs)
foreach(flag IN LISTS octave_incflags)
  if(flag MATCHES "^-I(.+)$")
    list(APPEND octave_include_dirs "${CMAKE_MATCH_1}")
  endif()
endforeach()
find_library(OCTINTERP_LIBRARY octinterp PATHS ${octave_libdir} NO_DEFAULT_PATH REQUIRED)
find_library(OCTAVE_LIBRARY octave PATHS ${octave_libdir} NO_DEFAULT_PATH REQUIRED)
set(VORLA_OCTAVE_FOUND ON)

function(vorla_add_octave_mex name)
  add_library(${name} MODULE ${ARGN} ${VORLA_COMMON_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".mex"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${name} PRIVATE ${VORLA_INCLUDES})
  target_include_directories(${name} SYSTEM PRIVATE ${octave_include_dirs})
  target_compile_definitions(${name} PRIVATE VORLA_HOST_OCTAVE)
  target_link_libraries(${name} PRIVATE ${OCTINTERP_LIBRARY} ${OCTAVE_LIBRARY})
  if(WIN32)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/common/version.rc)
  elseif(NOT APPLE)
    # Only mexFunction is exported; a host function that Octave lacks fails at link time.
    target_link_options(${name} PRIVATE -Wl,--no-undefined -Wl,-Bsymbolic
      -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/common/exports.map)
  endif()
endfunction()

vorla_add_octave_mex(vorla_fit ${VORLA_FIT_SOURCES} fit/mex_function.cpp)
vorla_add_octave_mex(vorla_eval ${VORLA_EVAL_SOURCES} eval/mex_function.cpp)
vorla_add_octave_mex(vorla_score ${VORLA_SCORE_SOURCES} score/mex_function.cpp)
vorla_add_octave_mex(vorla_learn ${VORLA_TRAIN_SOURCES} ${VORLA_LEARN_SOURCES} learn/mex_function.cpp)
