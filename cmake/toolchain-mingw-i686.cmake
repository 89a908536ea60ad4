# 32-bit Windows, the release target.
set(LV_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# SSE2 arithmetic keeps single-precision results (the scaling in Draw) the same as on x86_64 instead of
# depending on the x87 registers' extra precision.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
