# Interface stable.
# The artwork: every picture and cursor the plug-in loads by name, drawn at
# build time by tools/gen/artwork from its table (artwork.txt) and compiled
# into one resource object.
#
# orvandel_link_artwork(<target>) puts the resources into the target's own
# module (the plug-in, or a test program that loads them from itself) and
# lets its sources include "artwork-table.h", the table as C++ rows.

set(ORVANDEL_ARTWORK_DIR ${PROJECT_SOURCE_DIR}/tools/gen/artwork)
set(ORVANDEL_ARTWORK_OUT ${PROJECT_BINARY_DIR}/artwork)

if(WIN32)
  enable_language(RC)
  find_program(ORVANDEL_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
  find_program(ORVANDEL_PYTHON3 NAMES python3 REQUIRED)
  file(GLOB ORVANDEL_ARTWORK_SOURCES CONFIGURE_DEPENDS
    ${ORVANDEL_ARTWORK_DIR}/*.py ${ORVANDEL_ARTWORK_DIR}/*.txt)
  add_custom_command(
    OUTPUT ${ORVANDEL_ARTWORK_OUT}/artwork.rc ${ORVANDEL_ARTWORK_OUT}/artwork-table.h
    COMMAND ${ORVANDEL_PYTHON3} ${ORVANDEL_ARTWORK_DIR}/gen-artwork.py
            --table ${ORVANDEL_ARTWORK_DIR}/artwork.txt
            --out ${ORVANDEL_ARTWORK_OUT}
            --rc ${ORVANDEL_ARTWORK_OUT}/artwork.rc
            --list ${ORVANDEL_ARTWORK_OUT}/artwork-table.h
    DEPENDS ${ORVANDEL_ARTWORK_SOURCES}
    COMMENT "Drawing the artwork"
    VERBATIM)
  add_custom_target(orvandel_artwork_files
    DEPENDS ${ORVANDEL_ARTWORK_OUT}/artwork.rc ${ORVANDEL_ARTWORK_OUT}/artwork-table.h)
  # An object library, not a static one: nothing refers to a resource by
  # symbol, so the linker would drop it from an archive.
  add_library(orvandel_artwork OBJECT ${ORVANDEL_ARTWORK_OUT}/artwork.rc)
  add_dependencies(orvandel_artwork orvandel_artwork_files)
endif()

function(orvandel_link_artwork target)
  if(NOT WIN32)
    return()
  endif()
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:orvandel_artwork>)
  target_include_directories(${target} PRIVATE ${ORVANDEL_ARTWORK_OUT})
  add_dependencies(${target} orvandel_artwork orvandel_artwork_files)
endfunction()
