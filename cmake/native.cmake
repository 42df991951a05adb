# The launch logic over the simulated platform: GoogleTest through CTest
# under AddressSanitizer and UBSan; libFuzzer targets with clang
# (HVQ_FUZZ); the native benchmark (HVQ_SANITIZE off, Release).
option(HVQ_SANITIZE "Build with AddressSanitizer and UBSan" ON)
option(HVQ_TSAN "Build with ThreadSanitizer instead" OFF)
option(HVQ_FUZZ "Build the libFuzzer targets (clang) instead of the unit tests" OFF)
if(HVQ_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(HVQ_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(HVQ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(hvq_sim STATIC ${HVQ_CORE_SOURCES} tests/sim/sim_platform.cpp)
target_include_directories(hvq_sim PUBLIC launch platform tests tests/sim tests/fuzz)
target_compile_options(hvq_sim PRIVATE ${HVQ_LIBRARY_FLAGS})

if(HVQ_FUZZ)
  # A bounded run of each fuzzer over a working copy of the kept corpus.
  set(HVQ_FUZZ_SECONDS 15 CACHE STRING "Seconds each fuzzer runs under CTest")
  foreach(fuzzer find_fuzz title_fuzz)
    add_executable(${fuzzer} tests/fuzz/${fuzzer}.cpp)
    target_link_libraries(${fuzzer} PRIVATE hvq_sim)
    target_link_options(${fuzzer} PRIVATE -fsanitize=fuzzer)
    string(REPLACE "_fuzz" "" corpus ${fuzzer})
    set(work ${CMAKE_BINARY_DIR}/corpus/${corpus})
    file(MAKE_DIRECTORY ${work})
    add_test(NAME ${fuzzer}
      COMMAND $<TARGET_FILE:${fuzzer}> -max_total_time=${HVQ_FUZZ_SECONDS} -timeout=10
              -print_final_stats=1 ${work} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${corpus})
    set_tests_properties(${fuzzer} PROPERTIES TIMEOUT 120)
  endforeach()
  return()
endif()

find_package(GTest REQUIRED)
include(GoogleTest)
add_executable(unit_tests
  tests/unit/cstring_test.cpp
  tests/unit/detect_test.cpp
  tests/unit/launch_test.cpp)
target_link_libraries(unit_tests PRIVATE hvq_sim GTest::gtest_main)
gtest_discover_tests(unit_tests PROPERTIES TIMEOUT 60)

# What scripts/setup decides, with stand-ins for the package tools.
add_test(NAME setup_decisions COMMAND ${CMAKE_SOURCE_DIR}/tests/setup-decisions)
set_tests_properties(setup_decisions PROPERTIES TIMEOUT 30)

add_executable(find_bench bench/find_bench.cpp)
target_link_libraries(find_bench PRIVATE hvq_sim)

# The sources stay clean under clang-format.
find_program(HVQ_CLANG_FORMAT clang-format)
if(HVQ_CLANG_FORMAT)
  file(GLOB_RECURSE HVQ_FORMATTED CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/launch/*.cpp ${CMAKE_SOURCE_DIR}/launch/*.h
    ${CMAKE_SOURCE_DIR}/platform/*.cpp ${CMAKE_SOURCE_DIR}/platform/*.h
    ${CMAKE_SOURCE_DIR}/tests/*.cpp ${CMAKE_SOURCE_DIR}/tests/*.h
    ${CMAKE_SOURCE_DIR}/tools/*.cpp ${CMAKE_SOURCE_DIR}/bench/*.cpp ${CMAKE_SOURCE_DIR}/bench/*.h)
  add_test(NAME clang_format COMMAND ${HVQ_CLANG_FORMAT} --dry-run -Werror ${HVQ_FORMATTED})
endif()
