# Builds the flash loader image from its sources and checks it.
#
#   cmake -DCC=<arm-none-eabi-gcc> -DOBJCOPY=<arm-none-eabi-objcopy>
#         -DSOURCE_DIR=<tools/loader> -DOUTPUT_DIR=<dir>
#         [-DEXPECTED=<committed hex>] [-DUPDATE=ON] -P build-loader.cmake
#
# The image is written to OUTPUT_DIR/ARM_RD_LUMINARY.hex. With EXPECTED the
# script fails unless the two files are byte-identical; with UPDATE it
# replaces EXPECTED instead (how the committed file is refreshed after a
# change of the sources). Fixed flags, no debug information and no start
# address record keep the output the same from build to build.

cmake_minimum_required(VERSION 3.25)

foreach(var CC OBJCOPY SOURCE_DIR OUTPUT_DIR)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "" OR "${${var}}" MATCHES "-NOTFOUND$")
    message(FATAL_ERROR "build-loader: ${var} is not set (is gcc-arm-none-eabi installed?)")
  endif()
endforeach()

set(flags
  -mcpu=cortex-m3 -mthumb -Os
  -ffreestanding -nostdlib -fno-common -fno-tree-loop-distribute-patterns
  -Wall -Wextra -Werror)
set(hex ${OUTPUT_DIR}/ARM_RD_LUMINARY.hex)
set(elf ${OUTPUT_DIR}/ARM_RD_LUMINARY.elf)
file(MAKE_DIRECTORY ${OUTPUT_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "build-loader: failed: ${ARGN}\n${out}")
  endif()
endfunction()

run(${CC} ${flags} -c ${SOURCE_DIR}/loader-start.S -o ${OUTPUT_DIR}/loader-start.o)
run(${CC} ${flags} -c ${SOURCE_DIR}/loader.c -o ${OUTPUT_DIR}/loader.o)
run(${CC} ${flags} -T ${SOURCE_DIR}/loader.ld
  ${OUTPUT_DIR}/loader-start.o ${OUTPUT_DIR}/loader.o -o ${elf})
# A start of 0 keeps objcopy from writing a start address record (type 05).
run(${OBJCOPY} -O ihex --set-start 0 ${elf} ${hex})

# Only data (00), extended linear address (04) and end (01) records, each
# with a good checksum, and the image inside the 1 KB loader area.
file(STRINGS ${hex} records NO_HEX_CONVERSION)
set(upper 0)
foreach(record IN LISTS records)
  if(NOT record MATCHES "^:([0-9A-F][0-9A-F])+$")
    message(FATAL_ERROR "build-loader: not an Intel HEX record: ${record}")
  endif()
  string(SUBSTRING "${record}" 7 2 type)
  if(NOT type MATCHES "^0[014]$")
    message(FATAL_ERROR "build-loader: record type ${type} in ${hex}: ${record}")
  endif()
  string(LENGTH "${record}" length)
  set(sum 0)
  set(i 1)
  while(i LESS length)
    string(SUBSTRING "${record}" ${i} 2 byte)
    math(EXPR sum "(${sum} + 0x${byte}) & 0xFF")
    math(EXPR i "${i} + 2")
  endwhile()
  if(NOT sum EQUAL 0)
    message(FATAL_ERROR "build-loader: bad checksum: ${record}")
  endif()
  string(SUBSTRING "${record}" 1 2 count)
  string(SUBSTRING "${record}" 3 4 offset)
  if(type STREQUAL "04")
    string(SUBSTRING "${record}" 9 4 upper)
    math(EXPR upper "0x${upper}")
  elseif(type STREQUAL "00")
    math(EXPR first "(${upper} << 16) + 0x${offset}")
    math(EXPR end "${first} + 0x${count}")
    if(first LESS 0x20000000 OR end GREATER 0x20000400)
      message(FATAL_ERROR "build-loader: data outside the loader area: ${record}")
    endif()
  endif()
endforeach()
list(GET records -1 last)
if(NOT last STREQUAL ":00000001FF")
  message(FATAL_ERROR "build-loader: the image does not end with an end record")
endif()

if(DEFINED EXPECTED AND NOT "${EXPECTED}" STREQUAL "")
  if(UPDATE)
    file(COPY_FILE ${hex} ${EXPECTED})
    message(STATUS "build-loader: ${EXPECTED} updated")
  else()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${hex} ${EXPECTED}
      RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
      message(FATAL_ERROR "build-loader: ${hex} differs from the committed ${EXPECTED}; "
        "rebuild it with -DUPDATE=ON after changing the loader sources")
    endif()
    message(STATUS "build-loader: ${hex} matches ${EXPECTED}")
  endif()
endif()
