# 64-bit Windows: the same source, whose programs start at native speed under
# wine64 on machines that cannot run 32-bit programs.
set(ORVANDEL_WINDOWS_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
