# Cross-compiles for 32-bit Windows with the mingw-w64 i686 toolchain.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HVQ_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
