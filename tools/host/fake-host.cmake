# The table-driven fake host objects: include() from any folder; the target
# is made once.
if(NOT TARGET orvandel_fake_host)
  add_library(orvandel_fake_host STATIC ${CMAKE_CURRENT_LIST_DIR}/fake-host-object.cpp)
  target_include_directories(orvandel_fake_host PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(orvandel_fake_host PUBLIC orvandel_records)
endif()
