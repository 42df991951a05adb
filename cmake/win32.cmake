# The DLL, its console host and the end-to-end tests, for 32-bit (x86) or
# 64-bit (x64) Windows, as the toolchain file says. libgcc and libstdc++
# are linked in: the DLL imports system DLLs only.
set(HVQ_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
enable_language(RC)
find_program(HVQ_CLANGXX clang++ REQUIRED)  # the DLL's compiler, through cmake/clang-mingw
find_program(HVQ_DLLTOOL llvm-dlltool REQUIRED)
find_program(HVQ_LLVM_NM llvm-nm REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(HVQ_ARCH x64)
  set(HVQ_WINEARCH win64)
  set(HVQ_DLLTOOL_MACHINE i386:x86-64)
  set(HVQ_PACKAGE_SUFFIX win64)
  set(HVQ_OTHER_SUFFIX win32)
else()
  set(HVQ_ARCH x86)
  set(HVQ_WINEARCH win32)
  set(HVQ_DLLTOOL_MACHINE i386)
  set(HVQ_PACKAGE_SUFFIX win32)
  set(HVQ_OTHER_SUFFIX win64)
endif()
include(cmake/exports.cmake)
hvq_derive_exports(${HVQ_ARCH})

# The DLL is compiled and linked by clang and lld (cmake/clang-mingw), which
# write its PDB beside it; everything else is built by the mingw-w64 GCC.
add_library(hvqlaunch SHARED
  ${HVQ_CORE_SOURCES}
  platform/win32_platform.cpp
  platform/win32_dllmain.cpp
  ${HVQ_LINK_DEF}
  launch/hvqlaunch.rc)
set(HVQ_PDB ${CMAKE_BINARY_DIR}/hvqlaunch.pdb)
set_target_properties(hvqlaunch PROPERTIES PREFIX "" IMPORT_PREFIX "lib"
  CXX_COMPILER_LAUNCHER ${CMAKE_SOURCE_DIR}/cmake/clang-mingw
  RULE_LAUNCH_LINK ${CMAKE_SOURCE_DIR}/cmake/clang-mingw)
target_compile_definitions(hvqlaunch PRIVATE HVQLAUNCH_BUILDING)
target_compile_options(hvqlaunch PRIVATE ${HVQ_LIBRARY_FLAGS} -ffunction-sections -fdata-sections)
target_link_options(hvqlaunch PRIVATE ${HVQ_STATIC_RUNTIME} -Wl,--gc-sections -Wl,--pdb=${HVQ_PDB}
  -Wl,-Xlink=/pdbaltpath:hvqlaunch.pdb)
target_link_libraries(hvqlaunch PRIVATE shell32 user32)
target_include_directories(hvqlaunch INTERFACE $<INSTALL_INTERFACE:include>)

# The MSVC-style import library, made from the exports by name and ordinal
# alone (HVQ_DIST_DEF, which hosts get too); -k imports the stdcall names
# without their @N.
set(HVQ_MSVC_LIB ${CMAKE_BINARY_DIR}/hvqlaunch.lib)
add_custom_command(OUTPUT ${HVQ_MSVC_LIB}
  COMMAND ${HVQ_DLLTOOL} -m ${HVQ_DLLTOOL_MACHINE} -k -d ${HVQ_DIST_DEF} -l ${HVQ_MSVC_LIB}
  DEPENDS ${HVQ_DIST_DEF})
add_custom_target(hvqlaunch_msvc_lib ALL DEPENDS ${HVQ_MSVC_LIB})
# The same library serves MinGW: the one lld writes marks the names to lose
# their first character, which for "?" names breaks them.
add_dependencies(hvqlaunch hvqlaunch_msvc_lib)
add_custom_command(TARGET hvqlaunch POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${HVQ_MSVC_LIB} $<TARGET_LINKER_FILE:hvqlaunch>)

# End-to-end tests: Windows programs run under Wine on a virtual display,
# one at a time since they share one Wine prefix and drive d:.
set(HVQ_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/e2e/wine-run)

function(hvq_windows_program name)
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE launch)
  target_link_options(${name} PRIVATE ${HVQ_STATIC_RUNTIME})
endfunction()

function(hvq_wine_test name seconds)
  add_test(NAME ${name} COMMAND ${HVQ_WINE_RUN} ${name} ${seconds} ${ARGN})
  math(EXPR limit "${seconds} + 30")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${limit} RESOURCE_LOCK wineprefix
    ENVIRONMENT "WINEARCH=${HVQ_WINEARCH}" SKIP_RETURN_CODE 77)
endfunction()

# On either architecture: detection, the DLL as a guest in its host, and
# the wide and C entry points.
hvq_windows_program(detect_e2e tests/e2e/detect_e2e.cpp)
add_dependencies(detect_e2e hvqlaunch)
hvq_wine_test(e2e_detect 120 $<TARGET_FILE:detect_e2e>)
hvq_wine_test(e2e_detect_gbk 120 $<TARGET_FILE:detect_e2e> gbk)
set_property(TEST e2e_detect_gbk APPEND PROPERTY ENVIRONMENT "LC_ALL=zh_CN.UTF-8")

hvq_windows_program(guest_e2e tests/e2e/guest_e2e.cpp)
add_dependencies(guest_e2e hvqlaunch)
hvq_wine_test(e2e_guest 120 $<TARGET_FILE:guest_e2e>)

hvq_windows_program(unicode_e2e tests/e2e/unicode_e2e.cpp)
add_dependencies(unicode_e2e hvqlaunch hvqviewer)
hvq_wine_test(e2e_unicode 120 $<TARGET_FILE:unicode_e2e>)

# MSVC-ABI hosts, built by clang for the MSVC target and lld-link without a
# C runtime, against the build's hvqlaunch.lib and system import libraries
# made from the few exports they use (x64 names carry no @N).
find_program(HVQ_LLD_LINK lld-link REQUIRED)
if(HVQ_ARCH STREQUAL x64)
  set(HVQ_MSVC_TARGET x86_64-pc-windows-msvc)
else()
  set(HVQ_MSVC_TARGET i686-pc-windows-msvc)
endif()
set(HVQ_MSVC_SYSLIBS)
foreach(lib kernel32 user32 advapi32)
  file(READ ${CMAKE_SOURCE_DIR}/tests/e2e/msvc/${lib}.def def)
  if(HVQ_ARCH STREQUAL x64)
    string(REGEX REPLACE "@[0-9]+" "" def "${def}")
  endif()
  file(WRITE ${CMAKE_BINARY_DIR}/msvc/${lib}.def "${def}")
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/msvc/${lib}.lib
    COMMAND ${HVQ_DLLTOOL} -m ${HVQ_DLLTOOL_MACHINE} -k -d ${CMAKE_BINARY_DIR}/msvc/${lib}.def
            -l ${CMAKE_BINARY_DIR}/msvc/${lib}.lib
    DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/msvc/${lib}.def)
  list(APPEND HVQ_MSVC_SYSLIBS ${CMAKE_BINARY_DIR}/msvc/${lib}.lib)
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS tests/e2e/msvc/kernel32.def
  tests/e2e/msvc/user32.def tests/e2e/msvc/advapi32.def)
function(hvq_msvc_host name source)
  set(exe ${CMAKE_BINARY_DIR}/${name}.exe)
  add_custom_command(OUTPUT ${exe}
    COMMAND ${HVQ_CLANGXX} --target=${HVQ_MSVC_TARGET} -O1 -fno-exceptions -fno-rtti -ffreestanding
            -fno-builtin -Wall -Wextra -Werror -I${HVQ_INCLUDE_DIR} -c ${source} -o ${name}.obj
    COMMAND ${HVQ_LLD_LINK} /nologo /entry:HostMain /subsystem:console /nodefaultlib /out:${exe}
            ${name}.obj ${HVQ_MSVC_LIB} ${HVQ_MSVC_SYSLIBS}
    DEPENDS ${source} ${CMAKE_SOURCE_DIR}/tests/e2e/msvc/freestanding.h
            ${CMAKE_SOURCE_DIR}/tests/e2e/msvc/standins/win32.h ${HVQ_MSVC_LIB}
            ${HVQ_MSVC_SYSLIBS} ${HVQ_INCLUDE_DIR}/hvqlaunch.h)
  add_custom_target(${name} ALL DEPENDS ${exe})
  add_dependencies(${name} hvqlaunch hvqviewer)
endfunction()
hvq_msvc_host(cstringt_host ${CMAKE_SOURCE_DIR}/tests/e2e/msvc/cstringt_host.cpp)
hvq_wine_test(e2e_cstringt 120 ${CMAKE_BINARY_DIR}/cstringt_host.exe)

add_test(NAME dll_check COMMAND ${CMAKE_SOURCE_DIR}/tests/check-dll $<TARGET_FILE:hvqlaunch> ${HVQ_PDB})

# The console host and the sample viewer registered for ".hvq".
hvq_windows_program(hvqlaunch_host tools/console_host.cpp launch/hvqlaunch.rc)
set_target_properties(hvqlaunch_host PROPERTIES OUTPUT_NAME hvqlaunch)
target_compile_definitions(hvqlaunch_host PRIVATE HVQ_RC_CONSOLE_HOST)
target_link_libraries(hvqlaunch_host PRIVATE version shlwapi ole32)
hvq_windows_program(hvqviewer tools/hvqviewer.cpp)
target_link_options(hvqviewer PRIVATE -mwindows)
hvq_wine_test(e2e_host_cli 120 ${CMAKE_SOURCE_DIR}/tests/e2e/host-cli ${CMAKE_BINARY_DIR})
set_property(TEST e2e_host_cli APPEND PROPERTY ENVIRONMENT "HVQ_BUILD_DIR=${CMAKE_BINARY_DIR}")

if(HVQ_ARCH STREQUAL x86)  # the original StartVRAN3D
hvq_windows_program(launch_e2e tests/e2e/launch_e2e.cpp)
add_dependencies(launch_e2e hvqlaunch hvqviewer)
hvq_wine_test(e2e_launch 240 $<TARGET_FILE:launch_e2e>)
set_property(TEST e2e_launch APPEND PROPERTY ENVIRONMENT "LC_ALL=zh_CN.UTF-8")
hvq_wine_test(e2e_launch_cp1252 60 $<TARGET_FILE:launch_e2e> cp1252)

hvq_windows_program(soak_e2e tests/e2e/soak_e2e.cpp)
add_dependencies(soak_e2e hvqlaunch)
hvq_wine_test(e2e_soak 300 $<TARGET_FILE:soak_e2e>)

hvq_windows_program(hostile_e2e tests/e2e/hostile_e2e.cpp)
add_dependencies(hostile_e2e hvqlaunch)
hvq_wine_test(e2e_hostile 180 $<TARGET_FILE:hostile_e2e>)
set_property(TEST e2e_hostile APPEND PROPERTY ENVIRONMENT "LC_ALL=zh_CN.UTF-8")
endif()

# Benchmarks (scripts/bench runs them; they are not tests).
add_library(empty_dll SHARED EXCLUDE_FROM_ALL bench/empty_dll.cpp)
set_target_properties(empty_dll PROPERTIES PREFIX "")
target_link_options(empty_dll PRIVATE ${HVQ_STATIC_RUNTIME} -s -Wl,--gc-sections)
set(HVQ_BENCHMARKS detect_bench)
if(HVQ_ARCH STREQUAL x86)
  list(APPEND HVQ_BENCHMARKS launch_bench)  # the original StartVRAN3D
endif()
foreach(b ${HVQ_BENCHMARKS})
  add_executable(${b} EXCLUDE_FROM_ALL bench/${b}.cpp)
  target_include_directories(${b} PRIVATE launch)
  target_link_options(${b} PRIVATE ${HVQ_STATIC_RUNTIME})
  add_dependencies(${b} hvqlaunch hvqviewer empty_dll)
endforeach()

# The release package (scripts/package): cmake --install, or CPack's ZIP.
include(CMakePackageConfigHelpers)
install(TARGETS hvqlaunch EXPORT hvqlaunchTargets RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES ${HVQ_PDB} DESTINATION bin)
install(TARGETS hvqlaunch_host RUNTIME DESTINATION bin)
install(FILES ${HVQ_INCLUDE_DIR}/hvqlaunch.h DESTINATION include)
install(FILES ${HVQ_MSVC_LIB} ${HVQ_DIST_DEF} DESTINATION lib)
install(EXPORT hvqlaunchTargets NAMESPACE hvqlaunch:: DESTINATION lib/cmake/hvqlaunch)
# The config refuses a consumer of the other architecture in words, and
# gives the DLL to every build type of the consumer.
file(WRITE ${CMAKE_BINARY_DIR}/dist-cmake/hvqlaunchConfig.cmake
  "# hvqlaunch::hvqlaunch: the DLL in bin/, its import library and header.\n"
  "if(NOT CMAKE_SIZEOF_VOID_P EQUAL ${CMAKE_SIZEOF_VOID_P})\n"
  "  set(hvqlaunch_FOUND FALSE)\n"
  "  set(hvqlaunch_NOT_FOUND_MESSAGE \"this is the ${HVQ_PACKAGE_SUFFIX} package of hvqlaunch (${HVQ_ARCH}); "
  "this project builds for the other architecture: take hvqlaunch-${PROJECT_VERSION}-${HVQ_OTHER_SUFFIX}\")\n"
  "  return()\n"
  "endif()\n"
  "include(\"\${CMAKE_CURRENT_LIST_DIR}/hvqlaunchTargets.cmake\")\n"
  "foreach(config DEBUG RELEASE RELWITHDEBINFO NOCONFIG)\n"
  "  set_property(TARGET hvqlaunch::hvqlaunch PROPERTY MAP_IMPORTED_CONFIG_\${config} MinSizeRel)\n"
  "endforeach()\n")
write_basic_package_version_file(${CMAKE_BINARY_DIR}/dist-cmake/hvqlaunchConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/dist-cmake/hvqlaunchConfig.cmake
  ${CMAKE_BINARY_DIR}/dist-cmake/hvqlaunchConfigVersion.cmake DESTINATION lib/cmake/hvqlaunch)
install(FILES README.md CHANGELOG.md LICENSE DESTINATION share/doc/hvqlaunch)
install(TARGETS hvqviewer RUNTIME DESTINATION share/hvqlaunch/samples)
install(FILES tools/demo/2006.hvq tools/samples/c_host.c tools/samples/newer_cstring_host.cpp
  tools/samples/python_host.py DESTINATION share/hvqlaunch/samples)
if(HVQ_ARCH STREQUAL x86)
  install(FILES tools/samples/old_cstring_host.cpp DESTINATION share/hvqlaunch/samples)
endif()
install(FILES cmake/mingw-i686.cmake cmake/mingw-x86_64.cmake cmake/mingw-w64.cmake
  DESTINATION share/hvqlaunch/cmake)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME hvqlaunch)
set(CPACK_PACKAGE_VENDOR "The hvqlaunch developers")
set(CPACK_PACKAGE_FILE_NAME hvqlaunch-${PROJECT_VERSION}-${HVQ_PACKAGE_SUFFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/build/dist)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The installed tree as a host author gets it: its files, the version
# resource, the PDB, and hosts of both toolchains and a CMake project built
# against it alone, run under Wine.
hvq_wine_test(e2e_package 240 ${CMAKE_SOURCE_DIR}/tests/e2e/package-hosts ${CMAKE_BINARY_DIR}
  ${PROJECT_VERSION} ${HVQ_ARCH})
set_property(TEST e2e_package APPEND PROPERTY ENVIRONMENT "HVQ_BUILD_DIR=${CMAKE_BINARY_DIR}")
