# Help text, self-tests, helpers and the demo (octave/*.m) beside the built MEX files,
# the Octave package archive, and the tests that run the self-tests and install the
# package.

# help NAME reads NAME.m only when it sits in the folder of NAME.mex.
# The helpers of the model-level functions live in private/ beside them.
file(GLOB_RECURSE vorla_m_files CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/octave
     ${CMAKE_CURRENT_SOURCE_DIR}/octave/*.m)
foreach(m_name IN LISTS vorla_m_files)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/octave/${m_name} ${CMAKE_BINARY_DIR}/${m_name} COPYONLY)
  if(TARGET vorla_fit_matlab)
    configure_file(${CMAKE_CURRENT_SOURCE_DIR}/octave/${m_name} ${CMAKE_BINARY_DIR}/matlab/${m_name} COPYONLY)
  endif()
endforeach()
# help vorla finds the overview as vorla.m in any folder; Contents.m alone serves only a
# folder named vorla.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/octave/Contents.m ${CMAKE_BINARY_DIR}/vorla.m COPYONLY)
if(TARGET vorla_fit_matlab)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/octave/Contents.m ${CMAKE_BINARY_DIR}/matlab/vorla.m COPYONLY)
endif()

# The package carries its own version; it must agree with the project's.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/package/DESCRIPTION vorla_package_version REGEX "^Version:")
string(REGEX REPLACE "^Version: *" "" vorla_package_version "${vorla_package_version}")
if(NOT vorla_package_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "package/DESCRIPTION has version ${vorla_package_version}, the project ${PROJECT_VERSION}")
endif()
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/octave/Contents.m vorla_contents_version REGEX "^% Version ")
string(REGEX REPLACE "^% Version ([^ ]+).*$" "\\1" vorla_contents_version "${vorla_contents_version}")
if(NOT vorla_contents_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "octave/Contents.m has version ${vorla_contents_version}, the project ${PROJECT_VERSION}")
endif()

set(VORLA_PACKAGE_ARCHIVE ${CMAKE_BINARY_DIR}/vorla-${PROJECT_VERSION}.tar.gz)
add_custom_target(package_archive
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/make_package.sh ${CMAKE_BINARY_DIR}
  BYPRODUCTS ${VORLA_PACKAGE_ARCHIVE}
  COMMENT "Octave package archive ${VORLA_PACKAGE_ARCHIVE}"
  VERBATIM)

if(VORLA_OCTAVE_FOUND AND VORLA_TESTS)
  find_program(OCTAVE_CLI_EXECUTABLE octave-cli)
  if(OCTAVE_CLI_EXECUTABLE)
    add_test(NAME octave_selftests
      COMMAND ${OCTAVE_CLI_EXECUTABLE} --no-gui --norc
              ${CMAKE_CURRENT_SOURCE_DIR}/scripts/run_selftests.m ${CMAKE_BINARY_DIR})
    set_tests_properties(octave_selftests PROPERTIES
      LABELS octave TIMEOUT 300
      FAIL_REGULAR_EXPRESSION "[1-9][0-9]* failed"
      PASS_REGULAR_EXPRESSION "[0-9]+ passed, 0 failed")
    # Builds the archive from the source tree, installs it with pkg in a temporary
    # prefix (compiling the MEX files), runs pkg test there and compares the installed
    # functions' results with this build's.
    add_test(NAME octave_package_install
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/pkg_install_test.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(octave_package_install PROPERTIES
      LABELS octave TIMEOUT 600
      FAIL_REGULAR_EXPRESSION "[1-9][0-9]* failed"
      PASS_REGULAR_EXPRESSION "[0-9]+ passed, 0 failed")
    # The demo's pictures need gnuplot when there is no display. It runs with a PATH that
    # holds gnuplot alone: its cairo PNG device needs no Ghostscript, and no warning may show.
    find_program(GNUPLOT_EXECUTABLE gnuplot)
    if(GNUPLOT_EXECUTABLE)
      set(demo_path ${CMAKE_BINARY_DIR}/demo-path)
      file(MAKE_DIRECTORY ${demo_path})
      file(CREATE_LINK ${GNUPLOT_EXECUTABLE} ${demo_path}/gnuplot SYMBOLIC)
      add_test(NAME octave_demo
        COMMAND ${OCTAVE_CLI_EXECUTABLE} --no-gui --norc --eval
                "setenv ('PATH', '${demo_path}'); addpath ('${CMAKE_BINARY_DIR}'); r = vorla_demo ('${CMAKE_BINARY_DIR}/demo'); assert (numel (r.circle) == 7 && numel (r.pictures) == 2 && all (cellfun (@(f) exist (f, 'file') == 2, r.pictures)));"
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
      set_tests_properties(octave_demo PROPERTIES LABELS octave TIMEOUT 300 FAIL_REGULAR_EXPRESSION "warning")
    endif()
    # The ROC curve and the page of rules of the user guide, as its scripts print them (skipped
    # where python3-sklearn or octave-statistics is missing).
    add_test(NAME octave_guide_roc
      COMMAND ${OCTAVE_CLI_EXECUTABLE} --no-gui --norc ${CMAKE_CURRENT_SOURCE_DIR}/scripts/roc_breast_cancer.m
              ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR})
    set_tests_properties(octave_guide_roc PROPERTIES LABELS octave TIMEOUT 120 SKIP_RETURN_CODE 77
      PASS_REGULAR_EXPRESSION "268 of 284 held-out patients classified correctly.*area under the ROC curve: 0.9863")
    add_test(NAME octave_guide_rules
      COMMAND ${OCTAVE_CLI_EXECUTABLE} --no-gui --norc ${CMAKE_CURRENT_SOURCE_DIR}/scripts/rules_iris.m ${CMAKE_BINARY_DIR})
    set_tests_properties(octave_guide_rules PROPERTIES LABELS octave TIMEOUT 120 SKIP_RETURN_CODE 77
      PASS_REGULAR_EXPRESSION "15 rules\n +41  if sepal length <= 5.4 and 2.9 <= sepal width <= 3.9 and petal length <= 1.9 and petal width <= 0.4 then setosa")
    # With a display and no folder the demo shows its pictures and writes nothing.
    find_program(XVFB_RUN_EXECUTABLE xvfb-run)
    if(XVFB_RUN_EXECUTABLE)
      file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/demo-display)
      add_test(NAME octave_demo_display
        COMMAND ${XVFB_RUN_EXECUTABLE} -a ${OCTAVE_CLI_EXECUTABLE} --no-gui --norc --eval
                "addpath ('${CMAKE_BINARY_DIR}'); before = numel (dir (pwd)); r = vorla_demo (); assert (have_window_system () && numel (r.figures) == 2 && all (strcmp (get (r.figures, 'visible'), 'on')) && isempty (r.pictures) && numel (dir (pwd)) == before);"
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/demo-display)
      set_tests_properties(octave_demo_display PROPERTIES LABELS octave TIMEOUT 300 FAIL_REGULAR_EXPRESSION "warning")
    endif()
  endif()
endif()
