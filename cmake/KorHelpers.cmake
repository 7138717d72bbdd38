# Helpers every subsystem uses to declare its library, tests, benchmarks and
# fuzz targets, so that flags and conventions live in one place.

set(KOR_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

set(KOR_WARNINGS -Wall -Wextra -Werror -Wno-unused-parameter)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports false positives on std::variant/optional under -O2.
  list(APPEND KOR_WARNINGS -Wno-maybe-uninitialized -Wno-stringop-overflow -Wno-array-bounds -Wno-restrict)
endif()

set(KOR_SAN_FLAGS "")
if(KOR_SANITIZE)
  set(KOR_SAN_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
endif()

# kor_library(name SOURCES ... [DEPS ...] [PUBLIC_LIBS ...])
# Include paths are rooted at lib/, so code writes #include "values/value.h".
function(kor_library name)
  cmake_parse_arguments(K "" "" "SOURCES;DEPS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} STATIC ${K_SOURCES})
  target_include_directories(${name} PUBLIC ${KOR_ROOT}/lib)
  target_compile_options(${name} PRIVATE ${KOR_WARNINGS})
  target_compile_options(${name} PUBLIC ${KOR_SAN_FLAGS})
  target_link_options(${name} PUBLIC ${KOR_SAN_FLAGS})
  if(KOR_FUZZ)
    target_compile_options(${name} PUBLIC -fsanitize=fuzzer-no-link)
  endif()
  target_link_libraries(${name} PUBLIC ${K_DEPS} ${K_PUBLIC_LIBS})
endfunction()

# kor_test(name SOURCES ... DEPS ...): one GoogleTest executable registered
# with CTest test by test.
function(kor_test name)
  if(NOT KOR_TESTS)
    return()
  endif()
  cmake_parse_arguments(K "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${K_SOURCES})
  # GoogleTest's macros read as dangling elses after a bare if.
  target_compile_options(${name} PRIVATE ${KOR_WARNINGS} -Wno-dangling-else)
  target_link_libraries(${name} PRIVATE ${K_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT K_TIMEOUT)
    set(K_TIMEOUT 300)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (Wine) each start costs about a second: one CTest
    # test per executable instead of one per test case.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${K_TIMEOUT} LABELS "${K_LABELS}")
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${K_TIMEOUT} LABELS "${K_LABELS}")
  endif()
endfunction()

# kor_bench(name SOURCES ... DEPS ...): a Google Benchmark executable. CI runs
# every benchmark once with KOR_BENCH_SIZE=tiny (see scripts/test.sh).
function(kor_bench name)
  if(NOT KOR_BENCH)
    return()
  endif()
  cmake_parse_arguments(K "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${K_SOURCES})
  target_compile_options(${name} PRIVATE ${KOR_WARNINGS})
  target_link_libraries(${name} PRIVATE ${K_DEPS} benchmark::benchmark)
  set_property(GLOBAL APPEND PROPERTY KOR_BENCHES ${name})
endfunction()

# kor_fuzz(name SOURCES ... DEPS ...): a libFuzzer target, built only with
# KOR_FUZZ=ON under clang. scripts/test.sh runs each for a bounded time.
function(kor_fuzz name)
  if(NOT KOR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(K "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${K_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -g)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${K_DEPS})
  set_property(GLOBAL APPEND PROPERTY KOR_FUZZERS ${name})
endfunction()
