# Every architecture hvqlaunch.dll is built for, one row each: what the
# build, its tests and its package need to know of it. A toolchain file
# (named in CMakePresets.json) picks the row by CMAKE_SYSTEM_PROCESSOR.
#
#   NAME      the name in launch/exports.inc and in the docs
#   PROCESSOR the toolchain file's CMAKE_SYSTEM_PROCESSOR
#   TRIPLE    the mingw-w64 target clang compiles and links the DLL for
#   MSVC      clang's target of the MSVC C++ ABI: the decorated names, and
#             the test hosts that link them
#   MACHINE   llvm-dlltool's machine, for import libraries
#   PACKAGE   the package's name: hvqlaunch-VERSION-PACKAGE
#   WINE      how its programs run here: win32 or win64 (Wine's prefixes of
#             that kind), arm64 (Wine for ARM64 under qemu, scripts/setup)
#   RUNTIME   ON when mingw-w64 has a C runtime and import libraries for it,
#             so that its console host, viewer and test programs are built;
#             OFF: the DLL and the freestanding MSVC-ABI test hosts only,
#             against system import libraries made from x64's names
set(HVQ_ARCHITECTURES
  # NAME PROCESSOR TRIPLE             MSVC                    MACHINE     PACKAGE WINE  RUNTIME
  "x86   x86       i686-w64-mingw32    i686-pc-windows-msvc    i386        win32   win32 ON"
  "x64   AMD64     x86_64-w64-mingw32  x86_64-pc-windows-msvc  i386:x86-64 win64   win64 ON"
  "arm64 ARM64     aarch64-w64-mingw32 aarch64-pc-windows-msvc arm64       arm64   arm64 OFF")
set(HVQ_ARCHITECTURE_FIELDS NAME PROCESSOR TRIPLE MSVC MACHINE PACKAGE WINE RUNTIME)

# Sets HVQ_ARCH_<FIELD> for the row whose FIELD is VALUE.
function(hvq_architecture field value)
  foreach(row IN LISTS HVQ_ARCHITECTURES)
    separate_arguments(row UNIX_COMMAND "${row}")
    list(FIND HVQ_ARCHITECTURE_FIELDS ${field} at)
    list(GET row ${at} this)
    if(this STREQUAL value)
      foreach(f IN LISTS HVQ_ARCHITECTURE_FIELDS)
        list(FIND HVQ_ARCHITECTURE_FIELDS ${f} i)
        list(GET row ${i} v)
        set(HVQ_ARCH_${f} ${v} PARENT_SCOPE)
      endforeach()
      set(found TRUE)
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "cmake/architectures.cmake: no architecture whose ${field} is ${value}")
  endif()
endfunction()

# HVQ_ARCH_NAMES: every row's NAME.
set(HVQ_ARCH_NAMES)
foreach(row IN LISTS HVQ_ARCHITECTURES)
  separate_arguments(row UNIX_COMMAND "${row}")
  list(GET row 0 name)
  list(APPEND HVQ_ARCH_NAMES ${name})
endforeach()
