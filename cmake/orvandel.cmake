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

# orvandel_add_test(<name> [TIMEOUT s] [PROPERTIES name value ...] COMMAND ...)
# One ctest test under the tree's prefix, unless the tree's test set leaves
# it out.
function(orvandel_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "PROPERTIES;COMMAND" ${ARGN})
  if(ORVANDEL_TEST_SET STREQUAL "product" AND NOT name IN_LIST ORVANDEL_PRODUCT_CHECKS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${ORVANDEL_DEFAULT_TIMEOUT})
  endif()
  add_test(NAME ${ORVANDEL_TEST_PREFIX}${name} COMMAND ${T_COMMAND})
  set_tests_properties(${ORVANDEL_TEST_PREFIX}${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ${T_PROPERTIES})
endfunction()

# orvandel_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [DESKTOP])
# One test program, one ctest test (one Wine start for a Windows program).
# The program is built in every tree, whatever its test set. DESKTOP: the
# program checks which window has the focus or is active, so it runs alone
# on the one desktop all trees' programs share.
function(orvandel_test name)
  cmake_parse_arguments(T "DESKTOP" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(WIN32)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/quiet-debug-output.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(timeout)
  if(T_TIMEOUT)
    set(timeout TIMEOUT ${T_TIMEOUT})
  endif()
  set(properties)
  if(T_DESKTOP)
    set(properties PROPERTIES RESOURCE_LOCK desktop)
  endif()
  orvandel_add_test(${name} ${timeout} ${properties} COMMAND ${name} --gtest_brief=1)
endfunction()
