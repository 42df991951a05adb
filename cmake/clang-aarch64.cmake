# Cross-compiles for ARM64 Windows with clang and lld. mingw-w64 has no C
# runtime nor import libraries for ARM64 here, so this builds the DLL, which
# needs neither, and freestanding programs: with mingw-w64's headers, and,
# for the few C++ headers the DLL includes (<cstdint> and the like, the
# same on every Windows target), those of the x86_64 GCC.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(HVQ_MINGW aarch64-w64-mingw32)
find_program(CMAKE_C_COMPILER clang)
find_program(CMAKE_CXX_COMPILER clang++)
find_program(CMAKE_RC_COMPILER NAMES llvm-windres llvm-windres-14 llvm-windres-15 llvm-windres-16)
set(CMAKE_C_COMPILER_TARGET ${HVQ_MINGW})
set(CMAKE_CXX_COMPILER_TARGET ${HVQ_MINGW})
set(CMAKE_RC_FLAGS_INIT "--target=${HVQ_MINGW} -I/usr/share/mingw-w64/include")
# No C runtime to link a test program against: the compiler checks compile.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
file(GLOB HVQ_GCC_CXX /usr/lib/gcc/x86_64-w64-mingw32/*-win32/include/c++)
list(GET HVQ_GCC_CXX 0 HVQ_GCC_CXX)
set(CMAKE_C_FLAGS_INIT "-isystem /usr/share/mingw-w64/include")
set(CMAKE_CXX_FLAGS_INIT
  "-isystem ${HVQ_GCC_CXX} -isystem ${HVQ_GCC_CXX}/x86_64-w64-mingw32 ${CMAKE_C_FLAGS_INIT}")
