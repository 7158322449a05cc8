# Helpers shared by every folder's CMakeLists.

# Our own code builds without warnings on both platforms; third-party sources
# (Dear ImGui, stb, GoogleTest) are built by their own targets and are exempt.
option(STRIVO_WARNINGS_AS_ERRORS "Treat warnings in StrivoVR's own code as errors" ON)

# Warnings and definitions for our own code.
function(strivo_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  if(STRIVO_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}")
  if(WIN32)
    target_compile_definitions(${target} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  endif()
endfunction()

# strivo_add_test(name SOURCES a_test.cpp ... LIBS lib ...)
# One gtest executable; each test becomes one CTest entry (through Wine on the
# Windows preset, via CMAKE_CROSSCOMPILING_EMULATOR).
# RESOURCE_LOCK <name> keeps the executable's tests from running beside others that
# hold the same lock (for example a fixed port). PRELOAD <library> runs the tests
# with that library in LD_PRELOAD.
function(strivo_add_test name)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK;PRELOAD" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  strivo_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  set(properties ENVIRONMENT "STRIVO_DIST_DIR=${STRIVO_DIST_DIR}")
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  if(ARG_PRELOAD)
    list(APPEND properties ENVIRONMENT_MODIFICATION "LD_PRELOAD=path_list_prepend:${ARG_PRELOAD}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

# A program shipped to users: built straight into the program folder.
function(strivo_dist_executable target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${STRIVO_DIST_DIR}")
endfunction()
