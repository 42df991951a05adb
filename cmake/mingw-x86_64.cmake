# Cross-compiles for 64-bit Windows with the mingw-w64 x86_64 toolchain.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(HVQ_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
