# The release package (scripts/package): cmake --install, or CPack's ZIP,
# named hvqlaunch-VERSION-win32 or -win64.
include(CMakePackageConfigHelpers)
set(HVQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/hvqlaunch)
set(HVQ_SAMPLES_DIR ${CMAKE_INSTALL_DATADIR}/hvqlaunch/samples)
install(TARGETS hvqlaunch EXPORT hvqlaunchTargets)
install(TARGETS hvqlaunch_host)
install(FILES ${HVQ_PDB} DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/include/hvqlaunch.h TYPE INCLUDE)
install(FILES ${HVQ_MSVC_LIB} ${HVQ_DIST_DEF} TYPE LIB)
install(EXPORT hvqlaunchTargets NAMESPACE hvqlaunch:: DESTINATION ${HVQ_CMAKE_DIR})
configure_package_config_file(cmake/hvqlaunchConfig.cmake.in
  ${PROJECT_BINARY_DIR}/dist-cmake/hvqlaunchConfig.cmake INSTALL_DESTINATION ${HVQ_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/dist-cmake/hvqlaunchConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${PROJECT_BINARY_DIR}/dist-cmake/hvqlaunchConfig.cmake
  ${PROJECT_BINARY_DIR}/dist-cmake/hvqlaunchConfigVersion.cmake DESTINATION ${HVQ_CMAKE_DIR})

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
configure_file(cmake/package-README.md ${PROJECT_BINARY_DIR}/dist-doc/README.md @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/dist-doc/README.md CHANGELOG.md LICENSE TYPE DOC)
install(DIRECTORY docs TYPE DOC FILES_MATCHING PATTERN "*.md")
install(TARGETS hvqviewer DESTINATION ${HVQ_SAMPLES_DIR})
install(FILES tools/demo/2006.hvq tools/samples/c_host.c tools/samples/newer_cstring_host.cpp
  tools/samples/python_host.py DESTINATION ${HVQ_SAMPLES_DIR})
if(HVQ_ARCH STREQUAL x86)
  install(FILES tools/samples/old_cstring_host.cpp DESTINATION ${HVQ_SAMPLES_DIR})
endif()
install(FILES cmake/mingw-i686.cmake cmake/mingw-x86_64.cmake cmake/mingw-w64.cmake
  DESTINATION ${CMAKE_INSTALL_DATADIR}/hvqlaunch/cmake)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME hvqlaunch)
set(CPACK_PACKAGE_VENDOR "The hvqlaunch developers")
set(CPACK_PACKAGE_FILE_NAME hvqlaunch-${PROJECT_VERSION}-${HVQ_WINEARCH})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/dist)
set(CPACK_STRIP_FILES ON)
include(CPack)
