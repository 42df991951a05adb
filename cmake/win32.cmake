# The DLL, its console host and the end-to-end tests, for 32-bit Windows.
# libgcc and libstdc++ are linked in: the DLL imports system DLLs only.
set(HVQ_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

add_library(hvqlaunch SHARED
  ${HVQ_CORE_SOURCES}
  platform/win32_platform.cpp
  platform/win32_dllmain.cpp
  launch/hvqlaunch.def)
set_target_properties(hvqlaunch PROPERTIES PREFIX "" IMPORT_PREFIX "")
target_compile_options(hvqlaunch PRIVATE -ffunction-sections -fdata-sections)
target_link_options(hvqlaunch PRIVATE ${HVQ_STATIC_RUNTIME} -s -Wl,--gc-sections)
target_link_libraries(hvqlaunch PRIVATE shell32 user32)
