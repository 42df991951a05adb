# What the two mingw-w64 toolchain files share: the compilers of the target
# HVQ_MINGW, found by their usual names (or Debian's, which add -win32 or
# -posix), and the sysroot where distributions put it (Debian, Fedora).
set(CMAKE_SYSTEM_NAME Windows)
find_program(CMAKE_C_COMPILER NAMES ${HVQ_MINGW}-gcc ${HVQ_MINGW}-gcc-win32 ${HVQ_MINGW}-gcc-posix)
find_program(CMAKE_CXX_COMPILER NAMES ${HVQ_MINGW}-g++ ${HVQ_MINGW}-g++-win32 ${HVQ_MINGW}-g++-posix)
find_program(CMAKE_RC_COMPILER NAMES ${HVQ_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HVQ_MINGW} /usr/${HVQ_MINGW}/sys-root/mingw)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
