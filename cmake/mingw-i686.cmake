# 32-bit Windows: the product, Orvandel.TRV as the host loads it.
set(ORVANDEL_WINDOWS_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
