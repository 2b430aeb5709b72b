# Helpers shared by the component folders.

# Links the embedded engine's registration into a deliverable, where the engine is built
# (every system but Windows), so that "Excel.Application" reaches it when nothing else is
# registered.
function(qx_link_default_server target)
  if(TARGET qx_engine_registration)
    target_link_libraries(${target} PRIVATE qx_engine_registration)
  endif()
endfunction()

# Exports of the deliverables carry undecorated names; 32-bit stdcall needs --kill-at.
function(qx_undecorated_exports target)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  endif()
endfunction()

# qx_add_gtest(NAME name SOURCES ... LIBS ...): one GoogleTest program registered with CTest.
function(qx_add_gtest)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  set(env ${ARG_ENV})
  if(WIN32)
    list(APPEND env "WINEDEBUG=-all")
  endif()
  gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
