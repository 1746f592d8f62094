# Cross build for 32-bit Windows with mingw-w64: the program itself.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZORV_MINGW_TRIPLE i686-w64-mingw32)
# Floating point on SSE2, as in the 64-bit twin: on the x87 unit every
# intermediate keeps 80 bits, so the same expression can truncate to another
# integer (700 - 0.1 * 700 gives 629 there, 630 with SSE2) and the two builds
# would draw and place differently.  Every processor that runs Windows 7 or
# later has SSE2.  Windows keeps a 32-bit thread's stack aligned to 4 bytes
# only (window procedures, thread entries and callbacks are called from
# system code): the compiler is told so, and aligns a frame itself where an
# SSE value needs 16 bytes.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
