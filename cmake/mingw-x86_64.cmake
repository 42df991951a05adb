# Cross-compiles for 64-bit Windows with the mingw-w64 x86_64 toolchain, found
# by its usual names (or Debian's, which add -win32 or -posix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(HVQ_MINGW x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${HVQ_MINGW}-gcc ${HVQ_MINGW}-gcc-win32 ${HVQ_MINGW}-gcc-posix)
find_program(CMAKE_CXX_COMPILER NAMES ${HVQ_MINGW}-g++ ${HVQ_MINGW}-g++-win32 ${HVQ_MINGW}-g++-posix)
find_program(CMAKE_RC_COMPILER NAMES ${HVQ_MINGW}-windres)
# The sysroot, where distributions put it (Debian, Fedora).
set(CMAKE_FIND_ROOT_PATH /usr/${HVQ_MINGW} /usr/${HVQ_MINGW}/sys-root/mingw)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
