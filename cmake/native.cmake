# The launch logic over the simulated platform, with GoogleTest through
# CTest, under AddressSanitizer and UBSan.
option(HVQ_SANITIZE "Build with AddressSanitizer and UBSan" ON)
if(HVQ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(GTest REQUIRED)
include(GoogleTest)

add_library(hvq_sim STATIC ${HVQ_CORE_SOURCES} tests/sim/sim_platform.cpp)
target_include_directories(hvq_sim PUBLIC launch platform tests/sim)

add_executable(unit_tests
  tests/unit/cstring_test.cpp
  tests/unit/detect_test.cpp
  tests/unit/launch_test.cpp)
target_link_libraries(unit_tests PRIVATE hvq_sim GTest::gtest_main)
gtest_discover_tests(unit_tests PROPERTIES TIMEOUT 60)
