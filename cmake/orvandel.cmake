# Project helpers shared by every folder.

# Test names carry their tree's name ("x86_64:arm_chain", "native:…"), so the
# one ctest run over every tree (scripts/build.sh) tells them apart.
if(WIN32)
  set(ORVANDEL_TEST_PREFIX "${CMAKE_SYSTEM_PROCESSOR}:")
else()
  set(ORVANDEL_TEST_PREFIX "native:")
endif()

# Which tests this tree registers: "all", or "product", the check set of the
# 32-bit product for machines where each 32-bit program start costs a minute
# of emulation (the exports with their stdcall stack balance; every kind's
# driver and device information by DISPID with one flash write and verify;
# halt, step and a register read through orvandel.exe).
set(ORVANDEL_TEST_SET all CACHE STRING "the tests this tree registers: all or product")
set_property(CACHE ORVANDEL_TEST_SET PROPERTY STRINGS all product)
set(ORVANDEL_PRODUCT_CHECKS plugin_entry driver_class cli-step cli-regs)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(ORVANDEL_DEFAULT_TIMEOUT 1500) # program starts may be emulated
else()
  set(ORVANDEL_DEFAULT_TIMEOUT 600)
endif()

# All trees' Windows programs share one Wine desktop and X display. A program
# that checks which window has the focus or is active needs the desktop to
# itself: no other program may show a window or a message box meanwhile. The
# desktop is a ctest resource of 64 slots (cmake/ctest-resources.json, which
# scripts/test.sh passes): a program that shows windows takes one slot, one
# that checks focus takes all of them. ORVANDEL_DESKTOP_USE, set in a test
# folder, is the default of its tests: "windows" or empty.
set(ORVANDEL_DESKTOP_SLOTS 64)

# orvandel_add_test(<name> [TIMEOUT s] [WINDOWS|DESKTOP] [PROPERTIES name value ...]
#                   COMMAND ...)
# One ctest test under the tree's prefix, unless the tree's test set leaves
# it out. WINDOWS: it shows windows or message boxes; DESKTOP: it checks
# focus or activation and runs alone on the desktop.
function(orvandel_add_test name)
  cmake_parse_arguments(T "WINDOWS;DESKTOP" "TIMEOUT" "PROPERTIES;COMMAND" ${ARGN})
  if(ORVANDEL_TEST_SET STREQUAL "product" AND NOT name IN_LIST ORVANDEL_PRODUCT_CHECKS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${ORVANDEL_DEFAULT_TIMEOUT})
  endif()
  set(desktop)
  if(T_DESKTOP)
    set(desktop RESOURCE_GROUPS desktop:${ORVANDEL_DESKTOP_SLOTS} RESOURCE_LOCK desktop)
  elseif(WIN32 AND (T_WINDOWS OR ORVANDEL_DESKTOP_USE STREQUAL "windows"))
    set(desktop RESOURCE_GROUPS desktop:1)
  endif()
  add_test(NAME ${ORVANDEL_TEST_PREFIX}${name} COMMAND ${T_COMMAND})
  set_tests_properties(${ORVANDEL_TEST_PREFIX}${name}
    PROPERTIES TIMEOUT ${T_TIMEOUT} ${desktop} ${T_PROPERTIES})
endfunction()

# orvandel_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [WINDOWS|DESKTOP])
# One test program, one ctest test (one Wine start for a Windows program).
# The program is built in every tree, whatever its test set. WINDOWS and
# DESKTOP as for orvandel_add_test.
function(orvandel_test name)
  cmake_parse_arguments(T "WINDOWS;DESKTOP" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(WIN32)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/quiet-debug-output.cpp)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(timeout)
  if(T_TIMEOUT)
    set(timeout TIMEOUT ${T_TIMEOUT})
  endif()
  set(desktop)
  if(T_DESKTOP)
    set(desktop DESKTOP)
  elseif(T_WINDOWS)
    set(desktop WINDOWS)
  endif()
  orvandel_add_test(${name} ${timeout} ${desktop} COMMAND ${name} --gtest_brief=1)
endfunction()
