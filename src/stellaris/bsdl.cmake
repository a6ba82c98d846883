# The compiled-in boundary-scan records and the entity builder. The records
# are written at build time from the catalogue's pin sets (and any real BSDL
# files in tools/gen/bsdl/files) by tools/gen/bsdl/gen-bsdl-records.py.
get_filename_component(BSDL_GEN_DIR ${CMAKE_CURRENT_SOURCE_DIR}/../../tools/gen/bsdl ABSOLUTE)
set(BSDL_GEN_SCRIPT ${BSDL_GEN_DIR}/gen-bsdl-records.py)
file(GLOB BSDL_GEN_FILES CONFIGURE_DEPENDS ${BSDL_GEN_DIR}/files/*)

add_custom_command(
  OUTPUT ${STELLARIS_GEN_OUT}/bsdl-records.generated.cpp
  COMMAND ${ORVANDEL_PYTHON3} ${BSDL_GEN_SCRIPT}
          --catalogue ${STELLARIS_GEN_DIR}
          --layouts ${BSDL_GEN_DIR}/package-layouts.txt
          --bsdl-dir ${BSDL_GEN_DIR}/files
          --source ${STELLARIS_GEN_OUT}/bsdl-records.generated.cpp
  DEPENDS ${BSDL_GEN_SCRIPT} ${BSDL_GEN_DIR}/package-layouts.txt ${BSDL_GEN_FILES}
          ${STELLARIS_GEN_SCRIPT} ${STELLARIS_GEN_DATA}
  COMMENT "Generating the compiled-in boundary-scan records"
  VERBATIM)

add_library(orvandel_stellaris_bsdl STATIC
  bsdl-entity-builder.cpp
  ${STELLARIS_GEN_OUT}/bsdl-records.generated.cpp)
target_include_directories(orvandel_stellaris_bsdl PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orvandel_stellaris_bsdl PUBLIC orvandel_boundary_scan orvandel_stellaris_data)

# GetBSDLEntity for the drivers: the entities as the host sees them.
if(WIN32)
  add_library(orvandel_stellaris_bsdl_face STATIC bsdl-entity-face.cpp)
  target_include_directories(orvandel_stellaris_bsdl_face PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(orvandel_stellaris_bsdl_face PUBLIC orvandel_stellaris_bsdl orvandel_bsdl_faces
                        orvandel_bsdl_lookup orvandel_vhdl_reader_host)
endif()
