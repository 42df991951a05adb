# The DLL, its console host and the end-to-end tests, for 32-bit Windows.
# libgcc and libstdc++ are linked in: the DLL imports system DLLs only.
set(HVQ_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

add_library(hvqlaunch SHARED
  ${HVQ_CORE_SOURCES}
  platform/win32_platform.cpp
  platform/win32_dllmain.cpp
  launch/hvqlaunch.def)
set_target_properties(hvqlaunch PROPERTIES PREFIX "" IMPORT_PREFIX "")
target_compile_options(hvqlaunch PRIVATE ${HVQ_LIBRARY_FLAGS} -ffunction-sections -fdata-sections)
target_link_options(hvqlaunch PRIVATE ${HVQ_STATIC_RUNTIME} -s -Wl,--gc-sections)
target_link_libraries(hvqlaunch PRIVATE shell32 user32)

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
  set_tests_properties(${name} PROPERTIES TIMEOUT ${limit} RESOURCE_LOCK wineprefix)
endfunction()

hvq_windows_program(detect_e2e tests/e2e/detect_e2e.cpp)
add_dependencies(detect_e2e hvqlaunch)
hvq_wine_test(e2e_detect 120 $<TARGET_FILE:detect_e2e>)
hvq_wine_test(e2e_detect_gbk 120 $<TARGET_FILE:detect_e2e> gbk)
set_tests_properties(e2e_detect_gbk PROPERTIES ENVIRONMENT "LC_ALL=zh_CN.UTF-8")

add_test(NAME dll_check COMMAND ${CMAKE_SOURCE_DIR}/tests/check-dll $<TARGET_FILE:hvqlaunch>)

# The console host and the sample viewer registered for ".hvq".
hvq_windows_program(hvqlaunch_host tools/hvqlaunch.cpp)
set_target_properties(hvqlaunch_host PROPERTIES OUTPUT_NAME hvqlaunch)
hvq_windows_program(hvqviewer tools/hvqviewer.cpp)
target_link_options(hvqviewer PRIVATE -mwindows)

hvq_windows_program(launch_e2e tests/e2e/launch_e2e.cpp)
add_dependencies(launch_e2e hvqlaunch hvqviewer)
hvq_wine_test(e2e_launch 240 $<TARGET_FILE:launch_e2e>)
set_tests_properties(e2e_launch PROPERTIES ENVIRONMENT "LC_ALL=zh_CN.UTF-8")
hvq_wine_test(e2e_launch_cp1252 60 $<TARGET_FILE:launch_e2e> cp1252)

# A host built the original way: the MSVC C++ ABI (clang for the
# i686-pc-windows-msvc target, lld-link), passing its own CString by value
# to the operations imported by their decorated names.
find_program(HVQ_CLANGXX clang++ REQUIRED)
find_program(HVQ_LLD_LINK lld-link REQUIRED)
find_program(HVQ_DLLTOOL llvm-dlltool REQUIRED)
set(msvc_src ${CMAKE_SOURCE_DIR}/tests/e2e/msvc)
set(msvc_out ${CMAKE_BINARY_DIR}/msvc)
set(msvc_libs)
foreach(lib kernel32 user32 hvqlaunch)
  set(kill_at -k)
  if(lib STREQUAL hvqlaunch)
    set(kill_at)
  endif()
  add_custom_command(OUTPUT ${msvc_out}/${lib}.lib
    COMMAND ${CMAKE_COMMAND} -E make_directory ${msvc_out}
    COMMAND ${HVQ_DLLTOOL} -m i386 ${kill_at} -d ${msvc_src}/${lib}.def -l ${msvc_out}/${lib}.lib
    DEPENDS ${msvc_src}/${lib}.def)
  list(APPEND msvc_libs ${msvc_out}/${lib}.lib)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/msvc_host.exe
  COMMAND ${HVQ_CLANGXX} --target=i686-pc-windows-msvc -O1 -fno-exceptions -fno-rtti
          -ffreestanding -fno-builtin -Wall -Wextra -Werror
          -c ${msvc_src}/host.cpp -o ${msvc_out}/host.obj
  COMMAND ${HVQ_LLD_LINK} /nologo /entry:HostMain /subsystem:console /nodefaultlib
          /out:${CMAKE_BINARY_DIR}/msvc_host.exe ${msvc_out}/host.obj ${msvc_libs}
  DEPENDS ${msvc_src}/host.cpp ${msvc_libs})
add_custom_target(msvc_host ALL DEPENDS ${CMAKE_BINARY_DIR}/msvc_host.exe hvqlaunch)
hvq_wine_test(e2e_msvc_host 60 ${CMAKE_BINARY_DIR}/msvc_host.exe)

hvq_wine_test(e2e_host_cli 120 ${CMAKE_SOURCE_DIR}/tests/e2e/host-cli ${CMAKE_BINARY_DIR})
set_property(TEST e2e_host_cli APPEND PROPERTY ENVIRONMENT "HVQ_BUILD_DIR=${CMAKE_BINARY_DIR}")

hvq_windows_program(soak_e2e tests/e2e/soak_e2e.cpp)
add_dependencies(soak_e2e hvqlaunch)
hvq_wine_test(e2e_soak 300 $<TARGET_FILE:soak_e2e>)

hvq_windows_program(guest_e2e tests/e2e/guest_e2e.cpp)
add_dependencies(guest_e2e hvqlaunch)
hvq_wine_test(e2e_guest 120 $<TARGET_FILE:guest_e2e>)

hvq_windows_program(hostile_e2e tests/e2e/hostile_e2e.cpp)
add_dependencies(hostile_e2e hvqlaunch)
hvq_wine_test(e2e_hostile 180 $<TARGET_FILE:hostile_e2e>)
set_tests_properties(e2e_hostile PROPERTIES ENVIRONMENT "LC_ALL=zh_CN.UTF-8")

# Benchmarks (scripts/bench runs them; they are not tests).
add_library(empty_dll SHARED EXCLUDE_FROM_ALL bench/empty_dll.cpp)
set_target_properties(empty_dll PROPERTIES PREFIX "")
target_link_options(empty_dll PRIVATE ${HVQ_STATIC_RUNTIME} -s -Wl,--gc-sections)
foreach(b detect_bench launch_bench)
  add_executable(${b} EXCLUDE_FROM_ALL bench/${b}.cpp)
  target_include_directories(${b} PRIVATE launch)
  target_link_options(${b} PRIVATE ${HVQ_STATIC_RUNTIME})
  add_dependencies(${b} hvqlaunch hvqviewer empty_dll)
endforeach()
