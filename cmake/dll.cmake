# hvqlaunch.dll and its import libraries, for the architecture of the
# toolchain file (HVQ_ARCH_*, cmake/architectures.cmake). The DLL has its
# own entry and no C runtime start-up, and imports system DLLs only: the
# programs link libgcc and libstdc++ in, so that none needs a runtime DLL.
set(HVQ_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
enable_language(RC)
include(GNUInstallDirs)
find_program(HVQ_DLLTOOL llvm-dlltool REQUIRED)
hvq_write_defs(${HVQ_ARCH_NAME})

# The system import libraries the DLL links (and, with advapi32, ole32 and
# shlwapi, the self-test): mingw-w64's, or, for an architecture it has none for, made
# from the names that x64's export, in HVQ_SYSLIBS.
set(HVQ_SYSTEM_DLLS msvcrt shell32 user32 kernel32)
if(NOT HVQ_ARCH_RUNTIME)
  set(CMAKE_CXX_STANDARD_LIBRARIES "")  # CMake's list for programs names others
  set(HVQ_SYSLIBS ${PROJECT_BINARY_DIR}/syslibs)
  set(syslibs ${HVQ_SYSLIBS})
  file(MAKE_DIRECTORY ${syslibs})
  foreach(dll IN LISTS HVQ_SYSTEM_DLLS ITEMS advapi32 ole32 shlwapi)
    find_file(HVQ_X64_${dll} lib${dll}.a PATHS /usr/x86_64-w64-mingw32/lib
      /usr/x86_64-w64-mingw32/sys-root/mingw/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    execute_process(COMMAND ${HVQ_LLVM_NM} --defined-only --just-symbol-name ${HVQ_X64_${dll}}
      OUTPUT_VARIABLE names COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "__imp_[^\n]+" names "${names}")
    list(REMOVE_DUPLICATES names)
    list(TRANSFORM names REPLACE "^__imp_" "  ")
    list(JOIN names "\n" names)
    hvq_write_if_changed(${syslibs}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${names}\n")
    execute_process(COMMAND ${HVQ_DLLTOOL} -m ${HVQ_ARCH_MACHINE} -d ${syslibs}/${dll}.def
      -l ${syslibs}/lib${dll}.a COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()

# The DLL's code is the core's objects over the Win32 platform, compiled
# and linked by clang and lld (cmake/clang-mingw), which write its PDB
# beside it; everything else is built by the mingw-w64 GCC.
target_sources(hvq_core PRIVATE platform/win32_platform.cpp platform/win32_dllmain.cpp)
set_target_properties(hvq_core PROPERTIES CXX_COMPILER_LAUNCHER ${PROJECT_SOURCE_DIR}/cmake/clang-mingw)
target_compile_options(hvq_core PRIVATE -ffunction-sections -fdata-sections -gcodeview -g
  -ffile-compilation-dir=.)
add_library(hvqlaunch SHARED ${HVQ_LINK_DEF} launch/hvqlaunch.rc)
set(HVQ_PDB ${PROJECT_BINARY_DIR}/hvqlaunch.pdb)
set_target_properties(hvqlaunch PROPERTIES PREFIX "" IMPORT_PREFIX "lib" LINKER_LANGUAGE CXX
  RULE_LAUNCH_LINK ${PROJECT_SOURCE_DIR}/cmake/clang-mingw)
target_link_libraries(hvqlaunch PRIVATE hvq_core ${HVQ_SYSTEM_DLLS})
if(NOT HVQ_ARCH_RUNTIME)
  target_link_directories(hvqlaunch PRIVATE ${HVQ_SYSLIBS})
endif()
# /Brepro: no link time, and the PDB's id a hash of its content.
target_link_options(hvqlaunch PRIVATE -fuse-ld=lld -nostdlib -Wl,--gc-sections -Wl,-Xlink=-Brepro
  -Wl,--pdb=hvqlaunch.pdb -Wl,-Xlink=/pdbaltpath:hvqlaunch.pdb -Wl,-Xlink=/pdbsourcepath:/hvqlaunch)
target_include_directories(hvqlaunch INTERFACE $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# The MSVC-style import library, made from the exports by name and ordinal
# alone (HVQ_DIST_DEF, which hosts get too); -k imports the stdcall names
# without their @N.
set(HVQ_MSVC_LIB ${PROJECT_BINARY_DIR}/hvqlaunch.lib)
add_custom_command(OUTPUT ${HVQ_MSVC_LIB}
  COMMAND ${HVQ_DLLTOOL} -m ${HVQ_ARCH_MACHINE} -k -d ${HVQ_DIST_DEF} -l ${HVQ_MSVC_LIB}
  DEPENDS ${HVQ_DIST_DEF})
add_custom_target(hvqlaunch_msvc_lib ALL DEPENDS ${HVQ_MSVC_LIB})
# The same library serves MinGW: the one lld writes marks the names to lose
# their first character, which for "?" names breaks them.
add_dependencies(hvqlaunch hvqlaunch_msvc_lib)
add_custom_command(TARGET hvqlaunch POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${HVQ_MSVC_LIB} $<TARGET_LINKER_FILE:hvqlaunch>)

# A Windows program of the mingw-w64 GCC that sees the library's header
# and needs no runtime DLL beside it.
function(hvq_windows_program name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES CXX_STANDARD 17 CXX_EXTENSIONS OFF)
  target_link_libraries(${name} PRIVATE hvqlaunch_header)
  target_link_options(${name} PRIVATE ${HVQ_STATIC_RUNTIME} -Wl,--no-insert-timestamp)
endfunction()
