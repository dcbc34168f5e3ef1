# orvane_library(name SOURCES ... [DEPS ...]) — one static library per subsystem folder.
function(orvane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# orvane_test(name SOURCES ... [DEPS ...] [LABELS unit|integration|e2e] [TIMEOUT s] [ENV ...]
#             [FIXED_PORTS] [WRAPPER script])
# One GoogleTest executable, registered with CTest under the given labels. FIXED_PORTS: the
# test binds the system's fixed ports (or runs programs that do); it runs through
# lab/lib/private-net.sh, in a network namespace of its own (see orvane_fixed_ports).
# WRAPPER: a bash script run as `WRAPPER <build dir> <runner> <test program> <arguments>`,
# which sets up what the test needs and runs the program through the runner (the
# cross-compiling emulator, or `env` for a native build).
function(orvane_test name)
  cmake_parse_arguments(ARG "FIXED_PORTS" "TIMEOUT;WRAPPER" "SOURCES;DEPS;LABELS;ENV" ${ARGN})
  if(ARG_FIXED_PORTS AND ARG_WRAPPER)
    message(FATAL_ERROR "orvane_test(${name}): FIXED_PORTS and WRAPPER do not go together")
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  if(ARG_FIXED_PORTS)
    add_test(NAME ${name} COMMAND bash ${PROJECT_SOURCE_DIR}/lab/lib/private-net.sh $<TARGET_FILE:${name}>
             --gtest_brief=1 WORKING_DIRECTORY ${ORVANE_RUNTIME_DIR})
  elseif(ARG_WRAPPER)
    set(runner env)
    if(CMAKE_CROSSCOMPILING_EMULATOR)
      set(runner ${CMAKE_CROSSCOMPILING_EMULATOR})
    endif()
    add_test(NAME ${name} COMMAND bash ${ARG_WRAPPER} ${CMAKE_BINARY_DIR} ${runner} $<TARGET_FILE:${name}> --gtest_brief=1
             WORKING_DIRECTORY ${ORVANE_RUNTIME_DIR})
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${ORVANE_RUNTIME_DIR})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT})
  if(ARG_FIXED_PORTS)
    orvane_fixed_ports(${name})
  endif()
  if(ARG_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
  endif()
endfunction()

# orvane_fixed_ports(test...) — for tests whose command already runs through
# lab/lib/private-net.sh. Each such test has the machine's fixed ports to itself (its own
# network namespace, or the lab's ports lock where none can be made), so two test runs and a
# running demo never collide. Within one run they still go one at a time: they are the tests
# that play real-time audio, which two of them at once on a small machine would starve.
function(orvane_fixed_ports)
  set_tests_properties(${ARGN} PROPERTIES RESOURCE_LOCK orvane_lab_ports)
endfunction()

find_package(Threads REQUIRED)
# Found once here for every folder (libpulse, libudev, espeak-ng, opus, sqlite...).
find_package(PkgConfig REQUIRED)
