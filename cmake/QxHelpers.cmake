# Helpers shared by the component folders.

# Links the embedded engine's registration into an exporter: outside Windows
# "Excel.Application" reaches the engine when nothing else is registered; on Windows the engine
# is there for the user's setting to pick (report/server_choice.h), COM stays the default.
function(qx_link_default_server target)
  if(TARGET qx_engine_registration)
    target_link_libraries(${target} PRIVATE qx_engine_registration)
  elseif(TARGET qx_engine_embedded_registration)
    target_link_libraries(${target} PRIVATE qx_engine_embedded_registration)
  endif()
endfunction()

# Exports of the exporters carry undecorated names; 32-bit stdcall needs --kill-at.
function(qx_undecorated_exports target)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  endif()
endfunction()

# qx_add_gtest(NAME name SOURCES ... LIBS ... [TIMEOUT seconds] [PROPERTIES ...]): one
# GoogleTest program registered with CTest; each test may take 600 seconds unless TIMEOUT says
# otherwise, and has the further test PROPERTIES given.
function(qx_add_gtest)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;PROPERTIES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  set(env ${ARG_ENV})
  if(WIN32)
    list(APPEND env "WINEDEBUG=-all")
  endif()
  # An empty ENVIRONMENT value is dropped on its way to the discovered tests and shifts every
  # name and value that follows it (a TIMEOUT after it became the environment): it is given
  # only when there is one.
  set(properties TIMEOUT ${ARG_TIMEOUT} ${ARG_PROPERTIES})
  if(env)
    list(APPEND properties ENVIRONMENT "${env}")
  endif()
  qx_discover_tests(${ARG_NAME} PROPERTIES ${properties})
endfunction()

# Where Windows test programs run (under Wine); OFF on a machine that cannot run them, where
# they are still built and the checks that need no running (label static_checks) remain.
option(QX_TEST_DISCOVERY "List the tests of each test program with CTest" ON)

# qx_discover_tests(target ...): gtest_discover_tests with our defaults. A cross build lists
# tests when CTest runs, not when it builds, so building never needs Wine. A parameterised
# test is named by its name generator alone: the printed parameter would make CTest pad every
# line to its length, and a printed object holds addresses that differ from run to run.
function(qx_discover_tests target)
  if(NOT QX_TEST_DISCOVERY)
    return()
  endif()
  set(mode POST_BUILD)
  if(CMAKE_CROSSCOMPILING)
    set(mode PRE_TEST)
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE ${mode} NO_PRETTY_VALUES
    ${ARGN})
endfunction()
