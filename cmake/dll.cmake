# hvqlaunch.dll and its import libraries, for 32-bit (x86) or 64-bit (x64)
# Windows, as the toolchain file says. The DLL has its own entry and no C
# runtime start-up (cmake/clang-mingw): it imports system DLLs only. The
# programs link libgcc and libstdc++ in, so that none needs a runtime DLL.
set(HVQ_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
enable_language(RC)
include(GNUInstallDirs)
find_program(HVQ_DLLTOOL llvm-dlltool REQUIRED)
# What differs between the two architectures, for the DLL, its tests and
# its package alike.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(HVQ_ARCH x64)
  set(HVQ_WINEARCH win64)
  set(HVQ_DLLTOOL_MACHINE i386:x86-64)
  set(HVQ_MSVC_TARGET x86_64-pc-windows-msvc)
  set(HVQ_OTHER_WINEARCH win32)
else()
  set(HVQ_ARCH x86)
  set(HVQ_WINEARCH win32)
  set(HVQ_DLLTOOL_MACHINE i386)
  set(HVQ_MSVC_TARGET i686-pc-windows-msvc)
  set(HVQ_OTHER_WINEARCH win64)
endif()
hvq_write_defs(${HVQ_ARCH})

# The DLL's code is the core's objects over the Win32 platform, compiled
# and linked by clang and lld (cmake/clang-mingw), which write its PDB
# beside it; everything else is built by the mingw-w64 GCC.
target_sources(hvq_core PRIVATE platform/win32_platform.cpp platform/win32_dllmain.cpp)
set_target_properties(hvq_core PROPERTIES CXX_COMPILER_LAUNCHER ${PROJECT_SOURCE_DIR}/cmake/clang-mingw)
target_compile_options(hvq_core PRIVATE -ffunction-sections -fdata-sections)
add_library(hvqlaunch SHARED ${HVQ_LINK_DEF} launch/hvqlaunch.rc)
set(HVQ_PDB ${PROJECT_BINARY_DIR}/hvqlaunch.pdb)
set_target_properties(hvqlaunch PROPERTIES PREFIX "" IMPORT_PREFIX "lib" LINKER_LANGUAGE CXX
  RULE_LAUNCH_LINK ${PROJECT_SOURCE_DIR}/cmake/clang-mingw)
target_link_libraries(hvqlaunch PRIVATE hvq_core shell32 user32)
target_link_options(hvqlaunch PRIVATE -Wl,--gc-sections -Wl,--pdb=${HVQ_PDB}
  -Wl,-Xlink=/pdbaltpath:hvqlaunch.pdb)
target_include_directories(hvqlaunch INTERFACE $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# The MSVC-style import library, made from the exports by name and ordinal
# alone (HVQ_DIST_DEF, which hosts get too); -k imports the stdcall names
# without their @N.
set(HVQ_MSVC_LIB ${PROJECT_BINARY_DIR}/hvqlaunch.lib)
add_custom_command(OUTPUT ${HVQ_MSVC_LIB}
  COMMAND ${HVQ_DLLTOOL} -m ${HVQ_DLLTOOL_MACHINE} -k -d ${HVQ_DIST_DEF} -l ${HVQ_MSVC_LIB}
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
  target_link_options(${name} PRIVATE ${HVQ_STATIC_RUNTIME})
endfunction()
