# The flash writers: the remote-execution writer base with its loader
# protocol and image operations, and the writers built on it.
add_library(orvandel_flash STATIC
  ${CMAKE_CURRENT_LIST_DIR}/flash-writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image-collector.cpp
  ${CMAKE_CURRENT_LIST_DIR}/flash-image-ops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sector-flash-writers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parallel-flash-writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial-flash-writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cfi-flash-writer.cpp)
target_include_directories(orvandel_flash PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orvandel_flash PUBLIC orvandel_contracts orvandel_host_sdk orvandel_host_services)
