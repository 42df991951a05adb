# The release package (scripts/package): cmake --install, or CPack's ZIP,
# named hvqlaunch-VERSION-win32 or -win64.
set(HVQ_PACKAGE_SUFFIX ${HVQ_WINEARCH})
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
  "this project builds for the other architecture: take hvqlaunch-${PROJECT_VERSION}-${HVQ_OTHER_WINEARCH}\")\n"
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
# The package's own README, in the words of its architecture.
if(HVQ_ARCH STREQUAL x64)
  set(HVQ_ARCH_WORDS 64-bit)
  set(HVQ_WINE_LOADER "wine() { /usr/lib/wine/wine64 \"$@\"; }  # Wine's 64-bit loader\n")
  set(HVQ_WINE_NOTE " The `wine` function runs Wine's 64-bit loader (where Debian\ninstalls it): Debian's `wine` starts the 32-bit one first, which a kernel\nwithout 32-bit support cannot run.")
else()
  set(HVQ_ARCH_WORDS 32-bit)
  set(HVQ_WINE_LOADER "")
  set(HVQ_WINE_NOTE " On a kernel that cannot start 32-bit programs (`wine`\nfails with \"Exec format error\"), a user-mode emulator registered for i386\nprograms runs them: [docs/building.md](docs/building.md) says how.")
endif()
configure_file(cmake/package-README.md ${CMAKE_BINARY_DIR}/dist-doc/README.md @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dist-doc/README.md CHANGELOG.md LICENSE
  DESTINATION share/doc/hvqlaunch)
install(DIRECTORY docs DESTINATION share/doc/hvqlaunch FILES_MATCHING PATTERN "*.md")
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
